# Two Debian packages, made with `cpack -G DEB`: vyr-update (the terminal updater and its
# tools, no Qt) and vyr-updater (the window, which depends on the first). They install to
# /usr whatever prefix the build was configured for: the programs find their data beside
# themselves (../share). Run-time dependencies come from the binaries (dpkg-shlibdeps), the
# version from the project.
set(VYR_PACKAGE_CONTACT "VYR updater developers <updater@vyr.example>")

# What Debian expects of every package: its copyright and its changelog under doc/.
vyr_gzipped(${PROJECT_SOURCE_DIR}/packaging/changelog changelog)
foreach(component IN ITEMS cli gui)
    set(package vyr-update)
    if(component STREQUAL gui)
        set(package vyr-updater)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vyr-updater)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${VYR_PACKAGE_CONTACT})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli)
if(VYR_BUILD_QT)
    list(APPEND CPACK_COMPONENTS_ALL gui)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME vyr-update)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "firmware updater for VYR MIDI devices (terminal)
 Puts new firmware on a device of the VYR family through ALSA: it waits for the
 device's heartbeat, asks for update mode, checks that the device fell silent,
 then plays the firmware image to it at the times the image prescribes. A
 transfer that fails is resumed at the next run. vyr-update --json gives the
 result to scripts. Also vyr-fwtool, which shows and checks firmware images,
 and vyr-sim-device, which plays a VYR device on a USB-MIDI gadget or as a
 sequencer client.")
set(CPACK_DEBIAN_GUI_PACKAGE_NAME vyr-updater)
# libqt6svg6: Qt's plugins that draw the window's icon, which no library links.
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS "vyr-update (= ${PROJECT_VERSION}), libqt6svg6")
# qt6-wayland: a window of its own on a Wayland desktop rather than one through XWayland.
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
set(CPACK_DEBIAN_GUI_DESCRIPTION
    "firmware updater for VYR MIDI devices (window)
 The windowed form of vyr-update: the same workflow with message boxes and a
 progress bar, started from the desktop's menu.")

include(CPack)
