#!/usr/bin/env bash
# Takes the README's screenshots (each of the four workflow steps, a failed upload with Retry, and
# the add-account window)
# from the real application under a virtual X server (Xvfb, the real xcb platform), in a private
# session with its own keyring, against a local stand-in for Libsyn's FTP server.
#
#   scripts/screenshots.sh [output folder]     (default: docs/screenshots)
#
# BUILD_DIR names the build folder to use (default: build-screenshots, configured if needed).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-screenshots}
out=$(mkdir -p "${1:-$root/docs/screenshots}" && cd "${1:-$root/docs/screenshots}" && pwd)

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target airlark airlark_screenshots

# The driver builds the application's real main window and walks it as a user would; it needs
# a display of its own, not the offscreen platform the tests use.
exec "$root/scripts/with-test-session.sh" \
    env QT_QPA_PLATFORM=xcb \
    xvfb-run --auto-servernum --server-args="-screen 0 1280x960x24 -nolisten tcp" \
    "$build/tools/screenshots/airlark_screenshots" "$out"
