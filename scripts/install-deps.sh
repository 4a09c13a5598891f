#!/usr/bin/env bash
# Installs every Debian package Airlark needs to build, run and test. Idempotent; quiet when
# everything is already present. Run as root on Debian 12.
set -euo pipefail

packages=(
    # build
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-image-formats-plugins
    libtag1-dev libsqlite3-dev libcurl4-openssl-dev
    qtkeychain-qt6-dev libsecret-1-0
    # translations: lupdate and lrelease, and their CMake functions
    qt6-l10n-tools qt6-tools-dev
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    # run
    fonts-dejavu-core fonts-noto-color-emoji xdg-utils
    # test: a private session bus with a throwaway keyring, FTP servers (plain, and TLS with vsftpd), MP3 encoding,
    # a virtual X server with a window lister, and the command-line tools tests compare against
    dbus dbus-x11 gnome-keyring python3-pyftpdlib vsftpd lame sqlite3 curl xvfb xauth x11-utils imagemagick
    openssl ca-certificates
    # the tag editors the tag-write benchmark compares against (mutagen also reads tags back in tests)
    kid3-cli python3-mutagen
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
