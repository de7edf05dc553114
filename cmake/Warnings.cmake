# tessaly_warnings: the warning set every target of ours compiles with.
add_library(tessaly_warnings INTERFACE)
target_compile_options(tessaly_warnings INTERFACE
  -Wall -Wextra -Werror -Wno-error=deprecated-declarations)
