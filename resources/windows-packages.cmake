# The two ways Windows users install Tovik, both made by `make windows`:
#   tovik-<version>-win64.zip        the program and a read-me, to unpack
#                                    anywhere and start from there
#   tovik-<version>-win64-setup.exe  an installer made by makensis from
#                                    tovik.nsi.in (64-bit, per user)
set(TOVIK_PACKAGE tovik-${PROJECT_VERSION}-win64)

# The read-me in Windows line endings, so Notepad of any age shows its lines.
configure_file(${CMAKE_CURRENT_LIST_DIR}/README-windows.txt.in README.txt @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${TOVIK_PACKAGE}.zip
  COMMAND ${CMAKE_COMMAND} -E rm -f ${TOVIK_PACKAGE}.zip
  COMMAND ${CMAKE_COMMAND} -E tar cf ${TOVIK_PACKAGE}.zip --format=zip
    $<TARGET_FILE_NAME:tovik> README.txt
  DEPENDS tovik ${CMAKE_CURRENT_BINARY_DIR}/README.txt
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  VERBATIM)

find_program(TOVIK_MAKENSIS makensis REQUIRED)
set(TOVIK_ICO "${CMAKE_CURRENT_LIST_DIR}/tovik.ico")
configure_file(${CMAKE_CURRENT_LIST_DIR}/tovik.nsi.in tovik.nsi @ONLY)
# -WX: a warning fails the build, as the compiler's would be read.
add_custom_command(OUTPUT ${TOVIK_PACKAGE}-setup.exe
  COMMAND ${TOVIK_MAKENSIS} -V2 -WX -NOCD -INPUTCHARSET UTF8
    -DPROGRAM=$<TARGET_FILE:tovik> -DOUTFILE=${TOVIK_PACKAGE}-setup.exe
    ${CMAKE_CURRENT_BINARY_DIR}/tovik.nsi
  DEPENDS tovik ${CMAKE_CURRENT_BINARY_DIR}/tovik.nsi ${TOVIK_ICO}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${TOVIK_PACKAGE}.zip ${TOVIK_PACKAGE}-setup.exe)
