# Desktop integration, under one id: the desktop entry, the AppStream
# metainfo and the hicolor icons; and the manual page. The metainfo's release
# and the manual page carry the release's version and date.
set(resources ${PROJECT_SOURCE_DIR}/resources)
configure_file(${resources}/${TOVIK_APP_ID}.metainfo.xml.in
  english/${TOVIK_APP_ID}.metainfo.xml @ONLY)
configure_file(${resources}/tovik.1.in tovik.1 @ONLY)

# The entry's Comment and Keywords and the metainfo's summary and
# description in every language of po/, merged in by msgfmt as Comment[ru]
# and xml:lang.
find_program(TOVIK_MSGFMT msgfmt REQUIRED)
add_custom_command(OUTPUT ${TOVIK_APP_ID}.desktop
  COMMAND ${TOVIK_MSGFMT} --desktop --template=${resources}/${TOVIK_APP_ID}.desktop
    -d ${TOVIK_PO_DIR} -o ${TOVIK_APP_ID}.desktop
  DEPENDS ${resources}/${TOVIK_APP_ID}.desktop ${TOVIK_PO_FILES}
  VERBATIM)
add_custom_command(OUTPUT ${TOVIK_APP_ID}.metainfo.xml
  COMMAND ${TOVIK_MSGFMT} --xml --template=english/${TOVIK_APP_ID}.metainfo.xml
    -d ${TOVIK_PO_DIR} -o ${TOVIK_APP_ID}.metainfo.xml
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/english/${TOVIK_APP_ID}.metainfo.xml ${TOVIK_PO_FILES}
  VERBATIM)
add_custom_target(desktop_metadata ALL
  DEPENDS ${TOVIK_APP_ID}.desktop ${TOVIK_APP_ID}.metainfo.xml)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${TOVIK_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${TOVIK_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48)
  install(FILES ${resources}/icons/tovik-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${TOVIK_APP_ID}.png)
endforeach()
install(FILES ${resources}/tovik.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${TOVIK_APP_ID}.svg)

# Manual pages are installed compressed, as man-db reads them: gzip at its
# best, without the name and time stamp that would make each build differ.
add_custom_command(OUTPUT tovik.1.gz
  COMMAND gzip -9 --no-name --force --keep tovik.1
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/tovik.1
  VERBATIM)
add_custom_target(manual_page ALL DEPENDS tovik.1.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tovik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
