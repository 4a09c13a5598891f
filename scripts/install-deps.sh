#!/usr/bin/env bash
# Installs every Debian package Airlark needs to build, run and test, on Debian 12. Idempotent;
# quiet when everything is already present. As another user it names what is missing and installs
# it through sudo, or, without sudo, prints the command to run as root.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins
    libtag1-dev libsqlite3-dev libcurl4-openssl-dev libmpg123-dev libebur128-dev
    qtkeychain-qt6-dev libsecret-1-0
    # translations: lupdate and lrelease, and their CMake functions
    qt6-l10n-tools qt6-tools-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # run
    fonts-dejavu-core fonts-noto-color-emoji xdg-utils
    # test: a private session bus with a throwaway keyring, FTP servers (plain, and TLS with vsftpd), MP3 encoding,
    # a virtual X server, and the command-line tools tests compare against
    dbus dbus-x11 gnome-keyring python3-pyftpdlib vsftpd lame sqlite3 curl xvfb xauth imagemagick
    openssl ca-certificates desktop-file-utils
    # the accessibility bus and registry, and a reader of it for the screen-reader test
    at-spi2-core python3-pyatspi python3-gi
    # the tag editors the tag-write benchmark compares against (mutagen also reads tags back in tests)
    kid3-cli python3-mutagen
    # the Debian package (scripts/package.sh) and its checks: the icons drawn from the SVG, dpkg-shlibdeps,
    # lintian, the AppStream and manual page checks, and bash's completion functions
    librsvg2-bin dpkg-dev lintian appstream man-db bash-completion
    # the loudness reference the check's tests and benchmark compare against, and the test signals' generator
    ffmpeg sox
    # checks: the project's C++ style (scripts/check-format.sh)
    clang-format
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done

((${#missing[@]})) || exit 0
echo "Missing Debian packages: ${missing[*]}"
if ((EUID == 0)); then
    as_root=()
elif command -v sudo >/dev/null; then
    echo "Installing them with sudo (it may ask for your password)."
    as_root=(sudo)
else
    echo "Run this as root, then run this script again:"
    echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
    exit 1
fi
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
