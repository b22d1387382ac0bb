# Run by cpack once the package is made and normalised (packaging.cmake):
# SHA256SUMS beside it, what a user compares a download with, as
# sha256sum -c reads it. The package is still in cpack's own folder here,
# and copied as it is to where the SHA256SUMS goes.
set(sums "")
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  file(SHA256 ${package} sum)
  cmake_path(GET package FILENAME name)
  string(APPEND sums "${sum}  ${name}\n")
endforeach()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
