# Hardening for the Linux build with GCC or Clang, as Debian builds its own
# packages: fortified libc calls, the strong stack protector, format checks,
# full RELRO with immediate binding, and position-independent executables.
# dpkg-buildflags knows the flags for that; it drops fortification itself for
# an unoptimised build, where glibc would only warn about it. The build type
# keeps choosing the optimisation and debug information. Where there is no
# dpkg-buildflags, the same flags are stated here as Debian 12 gives them.

find_program(TOVIK_DPKG_BUILDFLAGS dpkg-buildflags)
if(TOVIK_DPKG_BUILDFLAGS)
  set(build_options "")
  if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(build_options noopt)
  endif()
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env
        "DEB_BUILD_MAINT_OPTIONS=hardening=+all reproducible=-all"
        "DEB_BUILD_OPTIONS=${build_options}"
        ${TOVIK_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
      COMMAND_ERROR_IS_FATAL ANY)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    list(FILTER flags EXCLUDE REGEX "^-(g|O.?)$")
    set(hardening_${kind} ${flags})
  endforeach()
else()
  set(hardening_CPPFLAGS -D_FORTIFY_SOURCE=2)
  set(hardening_CXXFLAGS -fstack-protector-strong -Wformat -Werror=format-security)
  set(hardening_LDFLAGS -Wl,-z,relro -Wl,-z,now)
  if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    set(hardening_CPPFLAGS "")
  endif()
endif()

add_compile_options(${hardening_CPPFLAGS} ${hardening_CXXFLAGS})
add_link_options(${hardening_LDFLAGS})
# Debian's compilers make PIE by default; elsewhere CMake asks for it.
include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
