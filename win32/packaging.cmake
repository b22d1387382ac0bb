# The two ways Windows users install Tovik, both made by `make windows`:
#   tovik-<version>-win64.zip        the folder tovik-<version>-win64 with
#                                    the program and a read-me, to unpack
#                                    anywhere and start from there
#   tovik-<version>-win64-setup.exe  an installer made by makensis from
#                                    tovik.nsi.in (64-bit, per user)
# Both are the same bytes from every build of one commit (see
# cmake/reproducible.cmake).
set(TOVIK_PACKAGE tovik-${PROJECT_VERSION}-win64)
set(release ${CMAKE_BINARY_DIR}/${TOVIK_PACKAGE})

# A build that signs otherwise than the last one (or starts or stops
# signing) begins without the last one's release files: were its signing to
# fail, an unsigned zip and SHA256SUMS would stay where signed ones belong.
if(NOT "${TOVIK_SIGN}" STREQUAL "${TOVIK_RELEASE_SIGNED_BY}")
  file(REMOVE ${CMAKE_BINARY_DIR}/tovik.exe ${release}.zip ${release}-setup.exe ${CMAKE_BINARY_DIR}/SHA256SUMS)
endif()
set(TOVIK_RELEASE_SIGNED_BY "${TOVIK_SIGN}" CACHE INTERNAL "The signing of the release files in this build")

# The read-me in Windows line endings, so Notepad of any age shows its lines,
# its title underlined to its full length.
set(TOVIK_README_TITLE "Tovik ${PROJECT_VERSION} for Windows")
string(LENGTH "${TOVIK_README_TITLE}" length)
string(REPEAT "=" ${length} TOVIK_README_RULE)
configure_file(${PROJECT_SOURCE_DIR}/resources/README-windows.txt.in ${TOVIK_PACKAGE}/README.txt
  @ONLY NEWLINE_STYLE CRLF)

# One folder in the archive, so that unpacking it where it lies puts nothing
# else beside it. The archive's entries carry the builder's times, user and
# umask, in the order given: strip-nondeterminism gives them the one time of
# the commit, sorts them and keeps of the permissions only whether a file is
# executable.
find_program(TOVIK_STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
add_custom_command(OUTPUT ${release}.zip
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:tovik> ${TOVIK_PACKAGE}/
  COMMAND ${CMAKE_COMMAND} -E rm -f ${release}.zip
  COMMAND ${CMAKE_COMMAND} -E tar cf ${release}.zip --format=zip
    ${TOVIK_PACKAGE}/README.txt ${TOVIK_PACKAGE}/$<TARGET_FILE_NAME:tovik>
  COMMAND ${TOVIK_STRIP_NONDETERMINISM} --type zip --timestamp ${TOVIK_SOURCE_DATE_EPOCH} ${release}.zip
  DEPENDS tovik ${CMAKE_CURRENT_BINARY_DIR}/${TOVIK_PACKAGE}/README.txt
  VERBATIM)

find_program(TOVIK_MAKENSIS makensis REQUIRED)
set(TOVIK_WIZARD_BMP "${PROJECT_SOURCE_DIR}/resources/wizard.bmp")
# The installer's own texts in every language of po/, as NSIS language
# strings beside the English ones of the script.
set(TOVIK_INSTALLER_LANGUAGES ${CMAKE_CURRENT_BINARY_DIR}/installer-languages.nsh)
add_custom_command(OUTPUT ${TOVIK_INSTALLER_LANGUAGES}
  COMMAND ${TOVIK_TRANSLATIONS} nsis ${TOVIK_INSTALLER_LANGUAGES}
    ${PROJECT_SOURCE_DIR}/resources/tovik.nsi.in ${TOVIK_NSIS_LANGUAGES} -- ${PROJECT_SOURCE_DIR}/po
  DEPENDS ${TOVIK_TRANSLATIONS} ${PROJECT_SOURCE_DIR}/resources/tovik.nsi.in ${TOVIK_PO_FILES}
  VERBATIM)
configure_file(${PROJECT_SOURCE_DIR}/resources/tovik.nsi.in tovik.nsi @ONLY)
# -WX: a warning fails the build, as the compiler's would be read. SIGN
# names the command that signs the uninstaller and the installer, when the
# build signs (win32/signing.cmake).
add_custom_command(OUTPUT ${release}-setup.exe
  COMMAND ${TOVIK_SIGN_ENV} ${TOVIK_MAKENSIS} -V2 -WX -NOCD -INPUTCHARSET UTF8
    -DPROGRAM=$<TARGET_FILE:tovik> -DOUTFILE=${release}-setup.exe
    "$<$<BOOL:${TOVIK_SIGN}>:-DSIGN=${CMAKE_SOURCE_DIR}/cmake/sign>"
    ${CMAKE_CURRENT_BINARY_DIR}/tovik.nsi
  DEPENDS tovik ${CMAKE_CURRENT_BINARY_DIR}/tovik.nsi ${TOVIK_INSTALLER_LANGUAGES} ${TOVIK_ICO}
    ${TOVIK_WIZARD_BMP}
  COMMAND_EXPAND_LISTS
  VERBATIM)

# What a user compares a download with: sha256sum -c SHA256SUMS.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/SHA256SUMS
  COMMAND sh -c "sha256sum $<TARGET_FILE_NAME:tovik> ${TOVIK_PACKAGE}.zip ${TOVIK_PACKAGE}-setup.exe >SHA256SUMS"
  DEPENDS tovik ${release}.zip ${release}-setup.exe
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  VERBATIM)
add_custom_target(windows_packages ALL DEPENDS ${release}.zip ${release}-setup.exe ${CMAKE_BINARY_DIR}/SHA256SUMS)
