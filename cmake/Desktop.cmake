# Installation, the desktop entry, the korvane-ports helper and the Debian package.
# Included at the end of the root CMakeLists.txt, after the tests, so it can add to them.
include(GNUInstallDirs)

# korvane-ports, as a small library so that its test drives it without a process.
add_library(korvane_ports_tool STATIC app/ports.cpp app/ports.h)
target_include_directories(korvane_ports_tool PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_options(korvane_ports_tool PRIVATE -Wall -Wextra)
target_link_libraries(korvane_ports_tool PUBLIC korvane_link Qt6::SerialPort Qt6::Core)

add_executable(korvane-ports app/ports_main.cpp)
target_compile_options(korvane-ports PRIVATE -Wall -Wextra)
target_link_libraries(korvane-ports PRIVATE korvane_ports_tool)
# korvane_link brings Qt Widgets along for the window; the helper uses none of it, so it should not
# need a display's libraries to start.
target_link_options(korvane-ports PRIVATE LINKER:--as-needed)

if(TARGET tst_ports_tool)
  target_link_libraries(tst_ports_tool PRIVATE korvane_ports_tool)
endif()

install(TARGETS korvane korvane-sim korvane-ports RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES share/korvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES share/icons/korvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

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
