# kestrel_layer(NAME FOLDERS... [LINKS targets...]): a static library of every .cpp in the
# folders, on the project's include root.
function(kestrel_layer name)
  cmake_parse_arguments(LAYER "" "" "FOLDERS;LINKS" ${ARGN})
  set(sources)
  foreach(folder ${LAYER_FOLDERS})
    file(GLOB found CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/${folder}/*.cpp")
    list(APPEND sources ${found})
  endforeach()
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${LAYER_LINKS})
endfunction()
