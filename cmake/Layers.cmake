# One static library per layer. Sources are picked up from the layer's folders, so adding a file needs no
# change here; the dependencies between layers are stated once, in src/CMakeLists.txt.
function(velquine_layer target)
  cmake_parse_arguments(L "" "" "DIRS;PUBLIC;PRIVATE" ${ARGN})
  set(sources)
  foreach(dir IN LISTS L_DIRS)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
      "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp"
      "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h")
    list(APPEND sources ${found})
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${target} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
endfunction()
