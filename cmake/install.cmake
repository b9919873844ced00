# Install rules and the Debian packages.
#
# What reaches a board owner and what is tooling stay apart: the component "bridge" (package
# osa-bridge) holds Quillrand, Dorvane and the connection doctor osa-doctor, the component
# "emulator" (package osa-emulator) the emulated board and the match driver, which a board owner
# needs only to try the programs without hardware. Each package carries its own documents, licence and manual pages below
# share/doc/<package> and share/man/man1, as Debian expects of every package.
#
#   cmake --install build --prefix /usr/local [--component bridge]
#   cd build && cpack -G DEB          (osa-bridge_<version>_<arch>.deb, osa-emulator_...)

# The emulator and the match driver need a pseudo-terminal, and Debian packages are for Linux:
# a Windows build ships its three programs by other means.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)

set(OSA_PACKAGE_MAINTAINER "The osa-bridge developers <osa-bridge@example.org>"
    CACHE STRING "Maintainer field of the Debian packages")

# Debian's tools want manual pages and changelogs compressed; -n leaves out the name and time
# stamp, so that the same text always gives the same bytes.
find_program(OSA_GZIP gzip)
set(osa_compressed_files "")

# The file to install for SOURCE under the name NAME: a gzipped copy NAME.gz in the build tree,
# or SOURCE itself (as NAME) where there is no gzip.
function(osa_compressed source name result)
  if(NOT OSA_GZIP)
    set(${result} ${source} PARENT_SCOPE)
    return()
  endif()
  set(copy ${PROJECT_BINARY_DIR}/compressed/${name})
  add_custom_command(OUTPUT ${copy}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
                     COMMAND ${OSA_GZIP} -9 -n -f ${copy}
                     DEPENDS ${source}
                     COMMENT "Compressing ${name}"
                     VERBATIM)
  set(osa_compressed_files ${osa_compressed_files} ${copy}.gz PARENT_SCOPE)
  set(${result} ${copy}.gz PARENT_SCOPE)
endfunction()

# Every Debian package carries a changelog naming its programs; the project's history itself is
# its git log. The date is the day of the configure run, so that another run that day leaves the
# file alone; SOURCE_DATE_EPOCH, when set, fixes it for reproducible packages.
function(osa_changelog package programs result)
  string(TIMESTAMP date "%a, %d %b %Y 00:00:00 +0000" UTC)
  list(POP_BACK programs last)
  list(JOIN programs ", " named)
  set(changelog ${PROJECT_BINARY_DIR}/changelog/${package}/changelog)
  file(CONFIGURE OUTPUT ${changelog} CONTENT
"${package} (${PROJECT_VERSION}) stable; urgency=medium

  * Version ${PROJECT_VERSION} of ${named} and ${last}.

 -- ${OSA_PACKAGE_MAINTAINER}  ${date}
")
  osa_compressed(${changelog} ${package}/changelog installed)
  set(osa_compressed_files ${osa_compressed_files} PARENT_SCOPE)
  set(${result} ${installed} PARENT_SCOPE)
endfunction()

# One component: its programs on PATH, a manual page for each, its documents, its changelog and
# the licence under the name Debian gives it (copyright).
function(osa_install_component component package)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "PROGRAMS;DOCS")
  set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package})
  install(TARGETS ${ARG_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
  install(FILES ${ARG_DOCS} DESTINATION ${docdir} COMPONENT ${component})
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${docdir} RENAME copyright COMPONENT ${component})
  osa_changelog(${package} "${ARG_PROGRAMS}" changelog)
  install(FILES ${changelog} DESTINATION ${docdir} COMPONENT ${component})
  foreach(program IN LISTS ARG_PROGRAMS)
    osa_compressed(${PROJECT_SOURCE_DIR}/docs/man/${program}.1 man1/${program}.1 page)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component})
  endforeach()
  set(osa_compressed_files ${osa_compressed_files} PARENT_SCOPE)
endfunction()

osa_install_component(bridge osa-bridge
  PROGRAMS Quillrand Dorvane osa-doctor
  DOCS ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/performance.md
       ${PROJECT_SOURCE_DIR}/docs/troubleshooting.md)
# The settings that owners get switched on, as an example to copy into an engine's directory.
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/osa.ini
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/osa-bridge/examples COMPONENT bridge)
osa_install_component(emulator osa-emulator
  PROGRAMS osa-emulator osa-match
  DOCS ${PROJECT_SOURCE_DIR}/docs/emulated-board.md)
if(osa_compressed_files)
  add_custom_target(osa_compressed_documents ALL DEPENDS ${osa_compressed_files})
endif()

# The Debian packages: one per component, installed below /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME osa-bridge)
set(CPACK_PACKAGE_VENDOR "The osa-bridge developers")
# Each package's description begins with its own summary line; CPack would put the project's
# description in front of it.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGE_CONTACT "${OSA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL bridge emulator)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${OSA_PACKAGE_MAINTAINER}")
# Section "games" would put the programs below /usr/games; these are tools on PATH.
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# dpkg-shlibdeps (from dpkg-dev, which build-essential brings) computes the library
# dependencies; without it the three libraries that every C++ program here links are named.
find_program(OSA_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(OSA_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

set(CPACK_DEBIAN_BRIDGE_PACKAGE_NAME osa-bridge)
set(CPACK_DEBIAN_BRIDGE_PACKAGE_SUGGESTS osa-emulator)
set(CPACK_DEBIAN_BRIDGE_DESCRIPTION
    "serial chess board inside any UCI chess GUI
Two UCI engines for a SciSys or Saitek chess computer with an OSA serial
interface. Quillrand lets a human play on the board inside the GUI: the GUI's
moves are entered on the board, and the move made there goes back to the GUI.
Dorvane offers the board's own chess computer as an engine, with its search
reports as info lines. osa-doctor finds the board's serial port, checks that
the board answers and prints the settings that make both programs reach it.")

set(CPACK_DEBIAN_EMULATOR_PACKAGE_NAME osa-emulator)
set(CPACK_DEBIAN_EMULATOR_DESCRIPTION
    "emulated OSA chess board and match driver
osa-emulator serves the command language of a chess board with an OSA serial
interface on a pseudo-terminal, with a chess computer and a simulated human,
so that Quillrand and Dorvane can be tried and tested without the hardware.
osa-match plays one refereed game between two UCI engine command lines.")

include(CPack)
