# Installation, the desktop entry, the korvane-ports helper and the Debian package.
# Included at the end of the root CMakeLists.txt, after the tests, so it can add to them.
include(GNUInstallDirs)

# korvane-ports; its commands are the library korvane_ports (the ports/ folder), which its test
# drives without a process.
add_executable(korvane-ports app/ports_main.cpp)
target_compile_options(korvane-ports PRIVATE -Wall -Wextra)
target_link_libraries(korvane-ports PRIVATE korvane_ports)
# korvane_link brings Qt Widgets along for the window; the helper uses none of it, so it should not
# need a display's libraries to start.
target_link_options(korvane-ports PRIVATE LINKER:--as-needed)

if(TARGET tst_ports_tool)
  target_link_libraries(tst_ports_tool PRIVATE korvane_ports)
endif()

# korvane-cli is another program's work; it ships, with its manual page, once its target exists.
set(KORVANE_PROGRAMS korvane korvane-sim korvane-ports)
if(TARGET korvane-cli)
  list(APPEND KORVANE_PROGRAMS korvane-cli)
endif()

install(TARGETS ${KORVANE_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped install (cmake --install --strip, and the package) drops what Debian's own packages
# drop as well: the compilers' version notes.
foreach(program ${KORVANE_PROGRAMS})
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                              \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\"
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()")
endforeach()
install(FILES share/korvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES share/icons/korvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# What software centres show of the program (checked with appstreamcli in the package test).
install(FILES share/metainfo/org.example.korvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Bash completion of the command-line programs, where bash-completion looks for it on demand.
foreach(program korvane-cli korvane-ports)
  if(program IN_LIST KORVANE_PROGRAMS)
    install(FILES share/completions/${program} DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  endif()
endforeach()

# Manual pages and the Debian changelog, compressed as Debian wants them: the most compression, and
# no name or time stamp in the header, so that the same source gives the same bytes.
find_program(KORVANE_GZIP gzip REQUIRED)
set(korvane_gzipped)
function(korvane_gzip source output)
  string(REGEX REPLACE "\\.gz$" "" plain ${output})
  add_custom_command(OUTPUT ${output}
                     COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
                     COMMAND ${KORVANE_GZIP} -9 -n -f ${plain}
                     DEPENDS ${source}
                     COMMENT "Compressing ${source}"
                     VERBATIM)
  set(korvane_gzipped ${korvane_gzipped} ${output} PARENT_SCOPE)
endfunction()

set(KORVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/korvane)
foreach(program ${KORVANE_PROGRAMS})
  korvane_gzip(${CMAKE_CURRENT_SOURCE_DIR}/docs/man/${program}.1 ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  install(FILES ${CMAKE_BINARY_DIR}/man/${program}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
# The package's version carries no Debian revision, so Debian calls it native: changelog.gz.
korvane_gzip(${CMAKE_CURRENT_SOURCE_DIR}/share/debian/changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man ${CMAKE_BINARY_DIR}/doc)
add_custom_target(korvane_docs ALL DEPENDS ${korvane_gzipped})
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz share/debian/copyright DESTINATION ${KORVANE_DOC_DIR})

# The Debian package. Menu and icon caches are refreshed by the triggers of desktop-file-utils and
# hicolor-icon-theme, so the package needs no maintainer scripts.
set(KORVANE_MAINTAINER "Korvane developers <korvane-dev@example.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Korvane")
set(CPACK_PACKAGE_CONTACT "${KORVANE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure a GPS vehicle tracker over a serial line")
# Debian shows the long description as it is written: lines under 80 columns.
set(CPACK_PACKAGE_DESCRIPTION [[
Korvane sets the parameters of a GPS vehicle tracker through a serial line
(115200 baud, 8N1): parameter groups row by row, whole frames, a read-back
of every parameter and a reset to the initial settings.
It comes with korvane-sim, a simulated tracker on a pseudo-terminal, and
korvane-ports, which lists the serial devices present and links a COM
number to a USB-serial adapter.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORVANE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The window asks for Times New Roman and SimSun; these are the faces Debian has in their place.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, fonts-arphic-uming")
set(CPACK_STRIP_FILES ON)   # the build keeps debug information; the package does not need it

find_program(KORVANE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KORVANE_DPKG_SHLIBDEPS)
  # Reads the libraries the binaries really load, with the versions they need.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6serialport6, libqt6gui6, libqt6core6")
endif()

include(CPack)

# Builds the package, unpacks it into a scratch folder and starts the programs from there. Not in
# a sanitizer build: its binaries are not what a package ships.
find_program(KORVANE_DPKG_DEB dpkg-deb)
if(BUILD_TESTING AND KORVANE_DPKG_DEB AND NOT KORVANE_SANITIZE)
  add_test(NAME package
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/package_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_CPACK_COMMAND})
  set_tests_properties(package PROPERTIES TIMEOUT 120)
endif()
