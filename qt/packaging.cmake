# The Debian package, built by cpack from the install rules of qt/ and
# desktop.cmake. Its dependencies come from the binary through
# dpkg-shlibdeps, plus the font the window asks for, which no library pulls
# in.
include(desktop.cmake)

# Every library the program needs is in the system's library folders and
# Debian binaries carry no runpath: drop the $ORIGIN/../lib that
# qt_standard_project_setup adds.
set_target_properties(tovik PROPERTIES INSTALL_RPATH "")

set(TOVIK_MAINTAINER "Plendor <tovik@plendor.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovik)
set(CPACK_PACKAGE_VERSION ${CMAKE_PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Plendor)
set(CPACK_PACKAGE_CONTACT "${TOVIK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "split a file of quaternary symbols into two bit channels")
set(CPACK_PACKAGE_DESCRIPTION
"Tovik reads a text file of the digits 0 to 3 and splits every symbol into
its two bits: the high bit goes to CH1.txt, the low bit to CH2.txt, one bit
per line. It is a small desktop program with one window.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG icon engine as a plugin, out of dpkg-shlibdeps' sight.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, libqt6svg6")
# Without the first, Qt runs through XWayland on a Wayland desktop; without
# the second, Qt's own buttons and dialogs speak English whatever the
# desktop's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")

# Every build of a commit gives the same package (cmake/reproducible.cmake):
# cpack stamps the files in it, and its own members, with the time that
# SOURCE_DATE_EPOCH names, set here for it; the members' permissions, which
# cpack takes from the builder's umask, strip-nondeterminism then makes what
# dpkg-deb writes. Then its SHA256SUMS goes beside it.
find_program(TOVIK_STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
file(CONFIGURE OUTPUT cpack-environment.cmake
  CONTENT "set(ENV{SOURCE_DATE_EPOCH} @TOVIK_SOURCE_DATE_EPOCH@)\n" @ONLY)
file(CONFIGURE OUTPUT cpack-normalise.cmake
  CONTENT "execute_process(COMMAND @TOVIK_STRIP_NONDETERMINISM@ --type ar --normalizers=+ar
  --timestamp @TOVIK_SOURCE_DATE_EPOCH@ \${CPACK_PACKAGE_FILES} COMMAND_ERROR_IS_FATAL ANY)\n" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack-environment.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_BINARY_DIR}/cpack-normalise.cmake
  ${CMAKE_CURRENT_SOURCE_DIR}/debian-sums.cmake)

# What Debian asks of every package: its changelog, native since Plendor
# makes and packages Tovik, and its copyright file, both in the package's
# documentation folder.
add_custom_command(OUTPUT changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/resources/debian/changelog changelog
  COMMAND gzip -9 --no-name --force changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/debian/changelog
  VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS changelog.gz)
configure_file(${PROJECT_SOURCE_DIR}/resources/debian/copyright.in copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz ${CMAKE_CURRENT_BINARY_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
include(CPack)
