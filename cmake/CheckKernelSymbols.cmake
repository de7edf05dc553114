# Fails when an object compiled for a wide instruction set defines a symbol
# the linker may pick over another file's copy (weak, vague or unique
# symbols), or code that runs when the library loads. Run as a build step:
# cmake -DNM=<nm> -DOBJECTS=<objects> [-DSANITIZED=ON] -P CheckKernelSymbols.cmake
cmake_minimum_required(VERSION 3.25)

set(violations "")
foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND ${NM} --defined-only ${object} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} could not read ${object}")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  get_filename_component(name ${object} NAME)
  foreach(line IN LISTS lines)
    # The sanitizers register each object's globals from a constructor.
    if(line MATCHES " [WwVvu] " OR (NOT SANITIZED AND line MATCHES "_GLOBAL__sub_I"))
      string(APPEND violations "  ${name}: ${line}\n")
    endif()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Symbols a vector kernel file must not define:\n${violations}")
endif()
