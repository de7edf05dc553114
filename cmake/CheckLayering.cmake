# Fails when a plug-in source includes a header of a folder its library
# does not link. Run as a build step: cmake -DLAYERS=<file> -DSOURCE_DIR=<dir>
# -P CheckLayering.cmake, where LAYERS sets `layer_folders` (every folder
# an include may name) and `allowed_<folder>` (the folders it links).
cmake_minimum_required(VERSION 3.25)
include(${LAYERS})

set(violations "")
foreach(folder IN LISTS plugin_folders)
  file(GLOB sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} includes REGEX "^#include \"[A-Za-z]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([A-Za-z]+)/.*" "\\1" used "${line}")
      if(used STREQUAL folder OR NOT used IN_LIST layer_folders)
        continue()
      endif()
      if(NOT used IN_LIST allowed_${folder})
        file(RELATIVE_PATH shown ${SOURCE_DIR} ${source})
        string(APPEND violations "  ${shown}: ${line} (${folder}/ does not link ${used}/)\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes against the folder layering:\n${violations}")
endif()
