# Compiles the tree for 64-bit ARM with Clang, to show that it still builds
# for a processor other than x86: the vector kernels are left out and every
# guarded loop falls back to its plain form (scripts/check-aarch64). Only
# object files are made, never linked or run, so the machine's own x86-64
# headers and libraries serve: the processor-specific parts of those
# headers that an aarch64 compile reads differently are the word size and
# the stubs file it picks, set right by the two headers in include/.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET aarch64-linux-gnu)
set(CMAKE_CXX_COMPILER_TARGET aarch64-linux-gnu)
# Nothing can be linked for aarch64 here.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Packages (Qt, libtiff, ...) are looked up among the machine's own.
set(CMAKE_LIBRARY_ARCHITECTURE x86_64-linux-gnu)
# The C++ library's headers are those of the machine's GCC.
execute_process(COMMAND g++ -dumpversion OUTPUT_VARIABLE _gcc OUTPUT_STRIP_TRAILING_WHITESPACE)
set(_headers "-isystem ${CMAKE_CURRENT_LIST_DIR}/include")
set(_machine "-isystem /usr/include/x86_64-linux-gnu")
set(CMAKE_C_FLAGS_INIT "${_headers} ${_machine}")
set(CMAKE_CXX_FLAGS_INIT
    "${_headers} -isystem /usr/include/c++/${_gcc} -isystem /usr/include/x86_64-linux-gnu/c++/${_gcc} ${_machine}")
