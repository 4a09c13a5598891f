#!/usr/bin/env bash
# Builds the Debian package airlark_<version>_<architecture>.deb and prints its path.
#   scripts/package.sh          from a clean build in build-package/ (the application alone, built
#                               with Debian's hardening flags), the package in build-package/package/
#   scripts/package.sh FOLDER   from the build already configured in FOLDER (the tests use theirs)
# Install it with: apt-get install ./airlark_<version>_<architecture>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

if (($# == 0)); then
    scripts/install-deps.sh
    build=build-package
    rm -rf "$build"
    # The flags every Debian package is built with (fortified functions, stack protector, read-only
    # relocations, immediate binding).
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAIRLARK_BUILD_TESTS=OFF \
        -DAIRLARK_BUILD_BENCH=OFF "${launcher[@]}" \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
else
    build=$1
fi

# The application and what is installed beside it; a test build's other targets are not packed.
cmake --build "$build" --target airlark >&2
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >&2)
ls "$(cd "$build" && pwd)"/package/airlark_*.deb
