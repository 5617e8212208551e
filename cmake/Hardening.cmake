# The hardening Debian builds its packages with (dpkg-buildflags with
# hardening=+all): stack protector, format checks, fortified C library
# calls, position-independent executables, read-only relocations bound at
# start-up. Linux only; included before any target exists.
if(WIN32)
  return()
endif()

include(CheckPIESupported)
check_pie_supported()
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
add_compile_options(-fstack-protector-strong -Wformat -Werror=format-security)
# Fortification needs the optimiser (without it glibc warns, and -Werror
# stops the build) and gets in the sanitizers' way.
if(NOT WITH_ASAN)
  add_compile_definitions(
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
endif()
add_link_options(LINKER:-z,relro LINKER:-z,now)
