# Installed layout and the Debian packages (Linux).
#
#   libexec/zeta7/ZETA-7設定ユーティリティ  the program; its file name is its application name
#   libexec/zeta7/libUserDirKit.so          private: nothing outside these packages links it
#   bin/zeta7                               a link to the program, the command to type
#   bin/zeta7ctl, zeta7-ports               the command-line tools
#   bin/zeta7-sim, zeta7-snapshot           development tools
#   share/applications, share/icons/hicolor, share/metainfo, share/man/man1 (and
#   share/man/ja/man1), share/doc/zeta7,
#   share/bash-completion/completions
#
# Two install components make two packages: "zeta7", what a user needs, and
# "devtools" (package zeta7-devtools), the simulated unit and the snapshot
# tool, which drives the window through the test library and so must not
# make the user's package depend on it.
#
# The program is not in bin/ because file names in PATH must be ASCII (Debian
# policy 10.10); bin/zeta7 stands in for it. The build tree keeps everything
# in build/bin with RUNPATH $ORIGIN; installed executables find the library
# through a RUNPATH relative to their own folder, so the tree works under any
# prefix and from a DESTDIR staging folder.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)

set(ZETA7_PROGRAM_DIR "${CMAKE_INSTALL_LIBEXECDIR}/zeta7")
# The private library lies beside the program, outside the linker's own
# folders: the package then needs no ldconfig run, which a library under
# lib/ would bring in its maintainer scripts.
set(ZETA7_PRIVATE_LIBDIR "${ZETA7_PROGRAM_DIR}")
set(ZETA7_MAINTAINER "ZETA-7 settings utility developers <zeta7-dev@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")
set(ZETA7_ICON_SIZES 16 22 24 32 48 64 128 256)
# Names the desktop entry and the AppStream component alike; the maker's name
# is the one the per-user settings folder already carries.
set(ZETA7_APP_ID com.quillbeck.zeta7)

# The RUNPATHs and the command link are relative to the prefix.
foreach(dir CMAKE_INSTALL_BINDIR CMAKE_INSTALL_LIBEXECDIR)
  if(IS_ABSOLUTE "${${dir}}")
    message(FATAL_ERROR "${dir} must be relative to the install prefix")
  endif()
endforeach()
file(RELATIVE_PATH _zeta7_bin_to_lib "/${CMAKE_INSTALL_BINDIR}" "/${ZETA7_PRIVATE_LIBDIR}")
file(RELATIVE_PATH _zeta7_program_to_lib "/${ZETA7_PROGRAM_DIR}" "/${ZETA7_PRIVATE_LIBDIR}")
file(RELATIVE_PATH _zeta7_bin_to_program "/${CMAKE_INSTALL_BINDIR}" "/${ZETA7_PROGRAM_DIR}")
set(_zeta7_user_tools zeta7-ports)
if(TARGET zeta7ctl)
  list(APPEND _zeta7_user_tools zeta7ctl)
endif()
set(_zeta7_dev_tools zeta7-sim zeta7-snapshot)
set_target_properties(${_zeta7_user_tools} ${_zeta7_dev_tools}
                      PROPERTIES INSTALL_RPATH "$ORIGIN/${_zeta7_bin_to_lib}")
if(_zeta7_program_to_lib)
  set_target_properties(zeta7 PROPERTIES INSTALL_RPATH "$ORIGIN/${_zeta7_program_to_lib}")
else()
  set_target_properties(zeta7 PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()
set_target_properties(UserDirKit PROPERTIES INSTALL_RPATH "")

install(TARGETS ${_zeta7_user_tools} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT zeta7)
install(TARGETS ${_zeta7_dev_tools} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT devtools)
install(TARGETS zeta7 RUNTIME DESTINATION ${ZETA7_PROGRAM_DIR} COMPONENT zeta7)
install(TARGETS UserDirKit LIBRARY DESTINATION ${ZETA7_PRIVATE_LIBDIR} NAMELINK_SKIP
        COMPONENT zeta7)

# Where bash-completion loads a command's completion from when it is first
# completed; zeta7-ports shares the file of zeta7ctl.
foreach(command zeta7ctl zeta7-ports)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/completion/zeta7ctl.bash
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${command}
          COMPONENT zeta7)
endforeach()

# Paths below are taken at install time: CMAKE_INSTALL_PREFIX may differ from
# the configured one (cmake --install --prefix, CPack's /usr), and DESTDIR
# only stages the files.
install(CODE "
  set(_zeta7_bindir \"${CMAKE_INSTALL_BINDIR}\")
  set(_zeta7_program_target \"${_zeta7_bin_to_program}/$<TARGET_FILE_NAME:zeta7>\")
  set(_zeta7_datadir \"${CMAKE_INSTALL_DATADIR}\")
  set(_zeta7_desktop_in \"${PROJECT_SOURCE_DIR}/res/zeta7.desktop.in\")
  set(_zeta7_app_id \"${ZETA7_APP_ID}\")
" COMPONENT zeta7)
install(CODE [[
  set(_zeta7_bindir "${CMAKE_INSTALL_PREFIX}/${_zeta7_bindir}")
  if(NOT IS_ABSOLUTE "${_zeta7_datadir}")
    set(_zeta7_datadir "${CMAKE_INSTALL_PREFIX}/${_zeta7_datadir}")
  endif()

  # The link is relative, so a staged tree moved elsewhere keeps working.
  set(_zeta7_link "$ENV{DESTDIR}${_zeta7_bindir}/zeta7")
  message(STATUS "Installing: ${_zeta7_link} -> ${_zeta7_program_target}")
  file(REMOVE "${_zeta7_link}")
  file(CREATE_LINK "${_zeta7_program_target}" "${_zeta7_link}" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_zeta7_link}")

  # Exec starts the program through the ASCII link: the window then carries
  # WM_CLASS "zeta7" (Qt takes it from argv[0]), which StartupWMClass names,
  # while the program still finds its Japanese name through /proc/self/exe.
  # The path is quoted as one argument of the Exec key, then escaped as a
  # desktop-entry string.
  set(_zeta7_exec "${_zeta7_bindir}/zeta7")
  if(_zeta7_exec MATCHES "[\n\r]")
    message(FATAL_ERROR "The install prefix holds a line break; a desktop entry cannot start it.")
  endif()
  string(REGEX REPLACE "([\"`$\\])" "\\\\\\1" _zeta7_exec "${_zeta7_exec}")
  string(REPLACE "\\" "\\\\" _zeta7_exec "${_zeta7_exec}")
  string(REPLACE "%" "%%" _zeta7_exec "${_zeta7_exec}")
  set(ZETA7_EXEC "\"${_zeta7_exec}\"")
  set(_zeta7_desktop "$ENV{DESTDIR}${_zeta7_datadir}/applications/${_zeta7_app_id}.desktop")
  message(STATUS "Installing: ${_zeta7_desktop}")
  configure_file("${_zeta7_desktop_in}" "${_zeta7_desktop}" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_zeta7_desktop}")
]] COMPONENT zeta7)

# Icons from the one source picture.
set(_zeta7_icon_dir ${CMAKE_BINARY_DIR}/icons)
set(_zeta7_icons)
foreach(size IN LISTS ZETA7_ICON_SIZES)
  list(APPEND _zeta7_icons ${_zeta7_icon_dir}/${size}x${size}/apps/zeta7.png)
endforeach()
add_custom_command(OUTPUT ${_zeta7_icons}
  COMMAND zeta7-icons ${PROJECT_SOURCE_DIR}/res/mainframe.xpm ${_zeta7_icon_dir} zeta7 ${ZETA7_ICON_SIZES}
  DEPENDS zeta7-icons ${PROJECT_SOURCE_DIR}/res/mainframe.xpm
  COMMENT "Making the hicolor icons from mainframe.xpm"
  VERBATIM)
add_custom_target(zeta7_icons ALL DEPENDS ${_zeta7_icons})
# The Windows icon (res/zeta7.ico, committed) from the same PNGs with
# icoutils, and a test that the committed one is this one; after a change of
# the picture: cmake --build build --target windows_icon, then copy
# build/windows-icon/zeta7.ico to res/.
find_program(ZETA7_ICOTOOL icotool)
if(ZETA7_ICOTOOL)
  set(_zeta7_ico ${CMAKE_BINARY_DIR}/windows-icon/zeta7.ico)
  add_custom_command(OUTPUT ${_zeta7_ico}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows-icon
    COMMAND ${ZETA7_ICOTOOL} -c -o ${_zeta7_ico}
            -b 4 ${_zeta7_icon_dir}/32x32/apps/zeta7.png
            -b 32 ${_zeta7_icon_dir}/16x16/apps/zeta7.png ${_zeta7_icon_dir}/48x48/apps/zeta7.png
            -r ${_zeta7_icon_dir}/256x256/apps/zeta7.png
    DEPENDS ${_zeta7_icons}
    COMMENT "Making the Windows icon from the hicolor icons"
    VERBATIM)
  add_custom_target(windows_icon ALL DEPENDS ${_zeta7_ico})
  add_test(NAME windows_icon_current
           COMMAND ${CMAKE_COMMAND} -E compare_files ${_zeta7_ico} ${PROJECT_SOURCE_DIR}/res/zeta7.ico)
endif()
install(DIRECTORY ${_zeta7_icon_dir}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor
        COMPONENT zeta7)

# Man pages, compressed as Debian wants them; man reads them either way.
# Each page goes with its program's package; the Japanese ones (doc/man/ja)
# go to man/ja/man1, where man finds them under a Japanese locale.
file(GLOB _zeta7_man_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/doc/man/*.1
     ${PROJECT_SOURCE_DIR}/doc/man/ja/*.1)
set(_zeta7_man_pages)
foreach(page IN LISTS _zeta7_man_sources)
  get_filename_component(name ${page} NAME)
  get_filename_component(folder ${page} DIRECTORY)
  set(language "")
  if(folder MATCHES "/ja$")
    set(language "ja/")
  endif()
  set(out ${CMAKE_BINARY_DIR}/man/${language}${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/${language}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${page} ${out}
    DEPENDS ${page}
    VERBATIM)
  list(APPEND _zeta7_man_pages ${out})
  get_filename_component(program ${page} NAME_WE)
  if(program IN_LIST _zeta7_dev_tools)
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/${language}man1 COMPONENT devtools)
  else()
    install(FILES ${out} DESTINATION ${CMAKE_INSTALL_MANDIR}/${language}man1 COMPONENT zeta7)
  endif()
endforeach()
add_custom_target(zeta7_man ALL DEPENDS ${_zeta7_man_pages})

# AppStream metainfo and the changelog carry the project version.
configure_file(${PROJECT_SOURCE_DIR}/packaging/${ZETA7_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/packaging/${ZETA7_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/${ZETA7_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT zeta7)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${CMAKE_BINARY_DIR}/packaging/changelog
          ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(zeta7_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
# Every package carries its own copyright and changelog (Debian policy 12.5,
# 12.7).
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT zeta7)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zeta7-devtools COMPONENT devtools)

# cpack -G DEB: zeta7_VERSION_ARCH.deb and zeta7-devtools_VERSION_ARCH.deb
set(CPACK_PACKAGE_NAME zeta7)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillbeck")
set(CPACK_PACKAGE_CONTACT "${ZETA7_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL zeta7 devtools)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZETA7_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# No shlibs file: the private library is no one else's to link.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(CPACK_DEBIAN_ZETA7_PACKAGE_NAME zeta7)
set(CPACK_COMPONENT_ZETA7_DESCRIPTION
"settings utility for the ZETA-7 radio unit
A small Qt dialog that talks to a ZETA-7 radio unit over a serial port:
it checks the unit's command prompt, shows its firmware version, and reads
and writes the unit's radio channel, unit ID, retry count and retry interval.
The window's texts are Japanese.
.
zeta7-ports lists the serial devices behind each COM number.")
if(TARGET zeta7ctl)
  string(APPEND CPACK_COMPONENT_ZETA7_DESCRIPTION
         " zeta7ctl reads and writes\nunits from the command line and from scripts, many at once.")
endif()
# Not linked, but loaded: the Japanese font the dialog is laid out for and
# Qt's own Japanese strings for the standard buttons.
set(CPACK_DEBIAN_ZETA7_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")
set(CPACK_DEBIAN_ZETA7_PACKAGE_SUGGESTS "bash-completion")

set(CPACK_DEBIAN_DEVTOOLS_PACKAGE_NAME zeta7-devtools)
set(CPACK_DEBIAN_DEVTOOLS_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_DEVTOOLS_DESCRIPTION
"development tools for the ZETA-7 settings utility
zeta7-sim is a simulated ZETA-7 unit on a pseudo-terminal, with fault
switches, for trying the utility and zeta7ctl without hardware.
zeta7-snapshot renders the utility's window to a PNG file.")
# The private library is the user package's.
set(CPACK_DEBIAN_DEVTOOLS_PACKAGE_DEPENDS "zeta7 (= ${PROJECT_VERSION})")

set(CPACK_STRIP_FILES ON)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/CPackProject.cmake)
include(CPack)
