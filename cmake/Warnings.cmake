# tessaly_warnings: the warning set every target of ours compiles with.
# Warnings are errors where they serve us: in the builds of scripts/test
# and CI (TESSALY_WERROR=ON). A user's own build of any configuration
# reports them without stopping, since an optimiser's false alarm (GCC 12's
# -Wrestrict on inlined string code at -O3) must not stop a release build.
option(TESSALY_WERROR "Treat compiler warnings as errors" OFF)
add_library(tessaly_warnings INTERFACE)
target_compile_options(tessaly_warnings INTERFACE -Wall -Wextra)
if(TESSALY_WERROR)
  target_compile_options(tessaly_warnings INTERFACE -Werror -Wno-error=deprecated-declarations)
endif()
