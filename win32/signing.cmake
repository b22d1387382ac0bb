# Authenticode signatures on the Windows release files, when the maker hands
# the build a certificate: its key and certificate as PKCS#12, and a file
# holding its password (make windows passes both on). Without them nothing
# is signed. cmake/sign signs tovik.exe right after it is linked, so that the
# zip and the installer take the signed one; then the uninstaller, and last
# the installer, as makensis writes them (resources/tovik.nsi.in, by packaging.cmake).
set(TOVIK_SIGN_PKCS12 "" CACHE FILEPATH
  "PKCS#12 file with the key and certificate that sign the Windows release files")
set(TOVIK_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of TOVIK_SIGN_PKCS12")
set(TOVIK_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures")

# Either one asks for signatures, and cmake/sign fails without the other.
# The commands that sign are part of the rules that build tovik.exe and the
# installer: when the signing changes, they are built again.
set(TOVIK_SIGN_ENV "")
set(TOVIK_SIGN "")
if(TOVIK_SIGN_PKCS12 OR TOVIK_SIGN_PASSWORD_FILE)
  set(TOVIK_SIGN_ENV ${CMAKE_COMMAND} -E env TOVIK_SIGN_PKCS12=${TOVIK_SIGN_PKCS12}
    TOVIK_SIGN_PASSWORD_FILE=${TOVIK_SIGN_PASSWORD_FILE}
    TOVIK_SIGN_TIMESTAMP_URL=${TOVIK_SIGN_TIMESTAMP_URL} SOURCE_DATE_EPOCH=${TOVIK_SOURCE_DATE_EPOCH})
  set(TOVIK_SIGN ${TOVIK_SIGN_ENV} ${CMAKE_SOURCE_DIR}/cmake/sign)
endif()
