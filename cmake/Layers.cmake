# One static library per layer. Sources are picked up from the layer's folders, so adding a file needs no
# change here; the dependencies between layers are stated once, in src/CMakeLists.txt, and they alone decide
# which folders a layer can include from.
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
  # A layer's include root holds its own folders only, each a link to the folder in src/; the roots of the
  # layers it uses come with their libraries. So "folder/File.h" is found only for a folder of this layer or of
  # a layer below it, and an include that points up or sideways fails to compile.
  set(root "${PROJECT_BINARY_DIR}/include/${target}")
  file(MAKE_DIRECTORY "${root}")
  foreach(dir IN LISTS L_DIRS)
    file(CREATE_LINK "${CMAKE_CURRENT_SOURCE_DIR}/${dir}" "${root}/${dir}" SYMBOLIC)
  endforeach()
  target_include_directories(${target} PUBLIC "${root}")
  target_link_libraries(${target} PUBLIC ${L_PUBLIC} PRIVATE ${L_PRIVATE})
endfunction()
