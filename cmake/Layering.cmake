# The folders of the plug-in, bottom up, and the build step that keeps
# their includes to what each folder's library links. A folder may include
# only the folders its CMakeLists.txt links, and those are all below it:
#   hostapi, platform < resources < shell < image < workspace < display < tools < ui < path < app
set(TESSALY_LAYERS hostapi platform resources shell image workspace display tools ui path app)
set(plugin_folders resources shell image workspace display tools ui path app)

set(layers_file ${CMAKE_BINARY_DIR}/Layers.cmake)
set(text "set(layer_folders ${TESSALY_LAYERS} host tests)\nset(plugin_folders ${plugin_folders})\n")
foreach(folder IN LISTS plugin_folders)
  get_target_property(links tessaly_${folder} LINK_LIBRARIES)
  set(allowed "")
  foreach(link IN LISTS links)
    if(link MATCHES "^tessaly_(.+)$" AND CMAKE_MATCH_1 IN_LIST TESSALY_LAYERS)
      list(APPEND allowed ${CMAKE_MATCH_1})
    endif()
  endforeach()
  string(APPEND text "set(allowed_${folder} ${allowed})\n")
endforeach()
file(CONFIGURE OUTPUT ${layers_file} CONTENT "${text}")

add_custom_target(check_layering ALL
  COMMAND ${CMAKE_COMMAND} -DLAYERS=${layers_file} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayering.cmake
  COMMENT "Checking includes against the folder layering"
  VERBATIM)
