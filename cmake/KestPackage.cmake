# What `cmake --install` puts on a Linux system and how cpack makes a Debian
# package of it (scripts/package). Only the player's program is installed: the
# updater travels inside kest, and the demo server, tests, benchmarks, fuzzers
# and the picture generator stay in the build folder.
#
#   <libexec>/kest/kest         the launcher; kest copies this folder for each player
#                               and runs that copy, so updates never need root
#   <libexec>/kest/libkest-engine.so  the launcher's engine side, loaded from the
#                               launcher's own folder (launcher/CMakeLists.txt)
#   <libexec>/kest/system-copy  the marker that says so
#   <bin>/kest                  a relative symlink to the launcher
#   desktop entry, AppStream metainfo, D-Bus activation file, hicolor icons, man page
include(GNUInstallDirs)

set(_pkg "${PROJECT_SOURCE_DIR}/packaging")
set(_out "${CMAKE_BINARY_DIR}/packaging")
set(KEST_APP_ID "org.kest.Client")
set(KEST_INSTALLED_LAUNCHER "${CMAKE_INSTALL_FULL_BINDIR}/kest")

install(TARGETS kest RUNTIME DESTINATION "${CMAKE_INSTALL_LIBEXECDIR}/kest")
install(TARGETS kest-engine LIBRARY DESTINATION "${CMAKE_INSTALL_LIBEXECDIR}/kest")
install(FILES "${_pkg}/system-copy" DESTINATION "${CMAKE_INSTALL_LIBEXECDIR}/kest")

# The symlink is made in the build folder and installed as a link: relative, so
# it stays right under any prefix and inside the package's staging folder.
file(RELATIVE_PATH _link_target "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LIBEXECDIR}/kest/kest")
file(MAKE_DIRECTORY "${_out}/bin")
file(CREATE_LINK "${_link_target}" "${_out}/bin/kest" SYMBOLIC)
install(FILES "${_out}/bin/kest" DESTINATION "${CMAKE_INSTALL_BINDIR}")

# The screenshot the store pages show; its size goes into the metainfo.
set(KEST_SCREENSHOT "login.png")
file(READ "${PROJECT_SOURCE_DIR}/docs/screenshots/${KEST_SCREENSHOT}" _png LIMIT 24 HEX)
string(SUBSTRING "${_png}" 32 8 _w)
string(SUBSTRING "${_png}" 40 8 _h)
math(EXPR KEST_SCREENSHOT_WIDTH "0x${_w}")
math(EXPR KEST_SCREENSHOT_HEIGHT "0x${_h}")
# The release date in the metainfo and the changelog: the day of the build, or
# of SOURCE_DATE_EPOCH when it is set (string(TIMESTAMP) honours it).
string(TIMESTAMP KEST_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP KEST_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)

configure_file("${_pkg}/${KEST_APP_ID}.metainfo.xml.in" "${_out}/${KEST_APP_ID}.metainfo.xml" @ONLY)
configure_file("${_pkg}/${KEST_APP_ID}.service.in" "${_out}/${KEST_APP_ID}.service" @ONLY)
configure_file("${_pkg}/changelog.in" "${_out}/changelog" @ONLY)
install(FILES "${_pkg}/${KEST_APP_ID}.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${_out}/${KEST_APP_ID}.metainfo.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
install(FILES "${_out}/${KEST_APP_ID}.service" DESTINATION "${CMAKE_INSTALL_DATADIR}/dbus-1/services")
foreach(size 16 24 32 48 64 128 256 512)
  install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
          RENAME "${KEST_APP_ID}.png")
endforeach()

# The man page and the changelog gzipped without a name or time stamp (-n), so the
# package's bytes depend on the sources alone.
find_program(KEST_GZIP gzip REQUIRED)
add_custom_command(OUTPUT "${_out}/kest.1.gz"
  COMMAND "${KEST_GZIP}" -9 -n -c "${PROJECT_SOURCE_DIR}/docs/kest.1" > "${_out}/kest.1.gz"
  DEPENDS "${PROJECT_SOURCE_DIR}/docs/kest.1" VERBATIM)
add_custom_command(OUTPUT "${_out}/changelog.gz"
  COMMAND "${KEST_GZIP}" -9 -n -c "${_out}/changelog" > "${_out}/changelog.gz"
  DEPENDS "${_out}/changelog" VERBATIM)
add_custom_target(kest_package_docs ALL DEPENDS "${_out}/kest.1.gz" "${_out}/changelog.gz")
install(FILES "${_out}/kest.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${_pkg}/copyright" "${_out}/changelog.gz" DESTINATION "${CMAKE_INSTALL_DOCDIR}")
install(FILES "${_pkg}/lintian-overrides" DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides"
        RENAME kest)

# The Debian package
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kest")
set(CPACK_PACKAGE_VERSION "${KEST_VERSION}")
set(CPACK_PACKAGE_VENDOR "The kest developers")
set(CPACK_PACKAGE_CONTACT "The kest developers <packages@kest.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of a browser game platform")
set(CPACK_PACKAGE_DESCRIPTION
  "kest tests the network, checks for a new version of itself, then shows the\n"
  "game platform's login page in its own skinned window. After a login each\n"
  "game page opens in a tab of the main window, with a tray icon and the F10\n"
  "key to hide and show it. The program updates itself from signed manifests,\n"
  "into a per-user copy of the installed files.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # kest_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://kest.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Called at run time, not linked: the login pages' Chinese text, the browser
# opener for /web and links, and a session bus for the program's D-Bus name
# (any provider: dbus-user-session under systemd, dbus-x11 elsewhere).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, xdg-utils, default-dbus-session-bus | dbus-session-bus")
# On a Wayland desktop without XWayland the launcher runs on Qt's wayland
# platform, which Qt loads as a plugin: recommended, as it is not linked.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
