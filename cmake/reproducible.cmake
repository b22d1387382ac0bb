# Releases are reproducible: the same commit built twice, in any folder, at
# any time, gives the same bytes (reproducible-builds.org).
#
# TOVIK_SOURCE_DATE_EPOCH is the one time a build may record, in seconds
# since 1970: SOURCE_DATE_EPOCH when the builder sets it, else the last
# commit's date, else (a source tree without git) the date of this tree's
# top CMakeLists.txt as unpacked. The packages use it for their file times.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(TOVIK_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE TOVIK_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR TOVIK_SOURCE_DATE_EPOCH STREQUAL "")
    file(TIMESTAMP ${CMAKE_SOURCE_DIR}/CMakeLists.txt TOVIK_SOURCE_DATE_EPOCH "%s" UTC)
  endif()
endif()

# The folders the tree is built from and in leave no trace in what the
# compiler writes: the debug information, hashed into the Linux build id,
# names every file as "./...". The build folder comes last, so that it wins
# over the source folder it may lie in.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)

# A Windows program's header has no time stamp, and so a checksum that
# follows from its contents alone.
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()

# The folders the Debian package holds, whatever the builder's umask.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
