#!/usr/bin/env bash
# Configures and builds Airlark into ./build (or the folder in $AIRLARK_BUILD_DIR).
# Extra arguments go to CMake's configure step, for example -DAIRLARK_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${AIRLARK_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build"
