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

# Precompiled headers: the standard and Qt headers that nearly every file of a target parses, by the kind of
# target ("plain": the standard library only; "gui": with QtCore and QtGui; "widgets": with QtWidgets too).
# They take about a third off the build.
set(velquine_plain_headers <algorithm> <array> <cmath> <cstdint> <functional> <map> <memory> <optional>
    <string> <string_view> <unordered_map> <unordered_set> <utility> <vector>)
set(velquine_gui_headers ${velquine_plain_headers} <QByteArray> <QColor> <QFont> <QImage> <QObject> <QPainter>
    <QPainterPath> <QString>)
set(velquine_widgets_headers ${velquine_gui_headers} <QAction> <QMenu> <QWidget>)
function(velquine_precompile_headers target kind)
  target_precompile_headers(${target} PRIVATE ${velquine_${kind}_headers} ${ARGN})
endfunction()
