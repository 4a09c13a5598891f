# The Debian package, built by CPack from the install rules (scripts/package.sh):
#   airlark_<version>_<architecture>.deb, installing under /usr.
# Its dependencies come from dpkg-shlibdeps reading the binary, and from the files Airlark loads
# only when first needed, which the binary does not list: libcurl, and Qt's SVG plugins (Airlark's
# own images are SVG). Each of those names the package that holds it, at least the version built
# against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME airlark)
set(CPACK_PACKAGE_VENDOR "The Airlark developers")
set(CPACK_PACKAGE_CONTACT "The Airlark developers <airlark@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tag podcast episodes and publish them to Libsyn and SoundCloud")
# Debian shows the description as it is: lines under 80 characters, "." for an empty line.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Airlark writes the ID3 tags of a finished podcast episode (an MP3 file) from a"
    "saved template of podcast-level values and the episode's own title and"
    "description, then publishes the episode to one of your saved host accounts: a"
    "Libsyn show by FTP over TLS, or a SoundCloud account as a track."
    "."
    "Passwords and sign-in tokens stay in the desktop's credential store (Secret"
    "Service). A command line tags and publishes with the same templates and"
    "accounts, for scripts.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://airlark.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
function(airlark_depend_on_package_of file version)
    file(REAL_PATH "${file}" file)
    execute_process(COMMAND dpkg-query --search "${file}" OUTPUT_VARIABLE owner ERROR_QUIET)
    if(owner MATCHES "^([^:]+):")
        list(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1} (>= ${version})")
        set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}" PARENT_SCOPE)
    endif()
endfunction()
airlark_depend_on_package_of("${curlLocation}" "${CURL_VERSION_STRING}")
airlark_depend_on_package_of("${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS}/imageformats/libqsvg.so"
                             "${Qt6_VERSION}")
list(JOIN CPACK_DEBIAN_PACKAGE_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# A Secret Service keeps the passwords (without one, accounts cannot be saved); xdg-open hands the
# help's links and SoundCloud's sign-in page to the browser; Qt's Wayland plugin draws the window
# natively on a Wayland desktop (without it, through XWayland).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | libkf5wallet-bin | keepassxc, xdg-utils, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The desktop entry names the binary by the prefix it is installed under, which must be /usr
# here, not CPack's staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# CPack installs without building "all" first: scripts/package.sh builds what is installed, and a
# test build's folder need not build its tests and benchmarks again to be packed.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/package")
include(CPack)
