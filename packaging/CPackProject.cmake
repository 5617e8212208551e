# Read by cpack at packaging time.
#
# CPackDeb finds the ELF files for dpkg-shlibdeps by running `file` under
# LC_ALL=C, which prints the program's Japanese file name as octal escapes
# that name no file. -r keeps the name as it is.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(_zeta7_file file REQUIRED)
  set(FILE_EXECUTABLE "${_zeta7_file};-r" CACHE STRING "" FORCE)
endif()
