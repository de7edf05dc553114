# tessaly_warnings: the warning set every target of ours compiles with.
# Warnings are errors where they serve us: in the builds of scripts/test
# and CI (TESSALY_WERROR=ON). A user's own build of any configuration
# reports them without stopping, since an optimiser's false alarm must not
# stop a release build. scripts/configs builds every configuration with
# both compilers and warnings as errors.
option(TESSALY_WERROR "Treat compiler warnings as errors" OFF)
add_library(tessaly_warnings INTERFACE)
target_compile_options(tessaly_warnings INTERFACE -Wall -Wextra)
# GCC 12 warns of overlapping copies inside libstdc++'s own string code once
# it is inlined by the optimiser ("." + name + ".tmp"): a false alarm of the
# compiler (GCC bug 105329), silenced in the optimised builds. Our code has no restrict-qualified copies of its
# own, so the warning tells us nothing there.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(tessaly_warnings INTERFACE $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict>)
endif()
if(TESSALY_WERROR)
  target_compile_options(tessaly_warnings INTERFACE -Werror -Wno-error=deprecated-declarations)
endif()
