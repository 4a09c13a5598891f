#!/usr/bin/env bash
# Installs what is missing, builds Airlark with warnings as errors and assertions on, and runs every
# test; each test executable runs in a private session of its own (D-Bus, keyring, HOME and data
# directories).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DAIRLARK_WERROR=ON -DAIRLARK_ASSERTIONS=ON
build=${AIRLARK_BUILD_DIR:-build}
ctest --test-dir "$build" --output-on-failure --no-tests=error -j2
