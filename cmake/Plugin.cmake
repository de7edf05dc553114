# Each subsystem folder builds an OBJECT library tessaly_<folder>; a test
# links the ones it needs by name (objects come only from object libraries
# linked directly). tessaly_core is the static library of all of them.
set(TESSALY_PLUGIN_LIBRARIES tessaly_resources tessaly_shell)
foreach(folder image workspace display tools ui path app)
  if(TARGET tessaly_${folder})
    list(APPEND TESSALY_PLUGIN_LIBRARIES tessaly_${folder})
  endif()
endforeach()

set(core_objects "")
foreach(lib IN LISTS TESSALY_PLUGIN_LIBRARIES)
  list(APPEND core_objects $<TARGET_OBJECTS:${lib}>)
endforeach()
add_library(tessaly_core STATIC ${core_objects})
target_link_libraries(tessaly_core PUBLIC ${TESSALY_PLUGIN_LIBRARIES})

# The plug-in module the host loads. Linked whole, so that static objects
# that register themselves (tools, workspace participants, services) are
# never dropped; it exports the two entry points and the resource table,
# and nothing else.
add_library(tessaly_plugin MODULE cmake/PluginModule.c)
target_link_libraries(tessaly_plugin PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,tessaly_core>")
set_target_properties(tessaly_plugin PROPERTIES
  OUTPUT_NAME tessaly PREFIX "" SUFFIX ".8bf"
  LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/plugin.map)
target_link_options(tessaly_plugin PRIVATE
  -Wl,--version-script=${PROJECT_SOURCE_DIR}/cmake/plugin.map -Wl,--no-undefined)

# In a fuzz build our code is instrumented for libFuzzer, whose runtime
# only the fuzz programs link: the module (and the host that loads it) are
# left out there.
if(TESSALY_FUZZ)
  set_target_properties(tessaly_plugin PROPERTIES EXCLUDE_FROM_ALL ON)
endif()
