# The desktop integration: a desktop entry, the shared-mime-info declaration of the document type and the
# icons, made from the file-type table the program itself reads (resources/file_types.tsv) and installed by
# `cmake --install`.
include(GNUInstallDirs)

file(STRINGS "${PROJECT_SOURCE_DIR}/resources/file_types.tsv" file_type_lines REGEX "^[^#].*\\|")
set(VELQUINE_DESKTOP_MIME_TYPES "")
set(VELQUINE_DOCUMENT_MIME_TYPE "")
set(VELQUINE_DOCUMENT_GLOBS "")
foreach(line IN LISTS file_type_lines)
  string(REPLACE "|" ";" fields "${line}")
  list(APPEND fields "" "") # an empty last field is dropped by the split
  list(GET fields 1 mime)
  list(GET fields 2 aliases)
  list(GET fields 3 extensions)
  string(APPEND VELQUINE_DESKTOP_MIME_TYPES "${mime};")
  separate_arguments(aliases UNIX_COMMAND "${aliases}")
  foreach(alias IN LISTS aliases)
    string(APPEND VELQUINE_DESKTOP_MIME_TYPES "${alias};")
  endforeach()
  if(VELQUINE_DOCUMENT_MIME_TYPE STREQUAL "") # the first row is the program's own document
    set(VELQUINE_DOCUMENT_MIME_TYPE "${mime}")
    separate_arguments(extensions UNIX_COMMAND "${extensions}")
    foreach(extension IN LISTS extensions)
      string(APPEND VELQUINE_DOCUMENT_GLOBS "    <glob pattern=\"*.${extension}\"/>\n")
    endforeach()
  endif()
endforeach()
string(REPLACE "/" "-" VELQUINE_DOCUMENT_ICON "${VELQUINE_DOCUMENT_MIME_TYPE}")

set(desktop_dir "${PROJECT_BINARY_DIR}/desktop")
configure_file("${PROJECT_SOURCE_DIR}/desktop/velquine.desktop.in" "${desktop_dir}/velquine.desktop" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/desktop/velquine-mime.xml.in" "${desktop_dir}/velquine.xml" @ONLY)

install(FILES "${desktop_dir}/velquine.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${desktop_dir}/velquine.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages")
install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/velquine.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")
install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/velquine.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes"
        RENAME "${VELQUINE_DOCUMENT_ICON}.svg")
