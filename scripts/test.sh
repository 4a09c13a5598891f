#!/usr/bin/env bash
# Installs what is missing, builds Airlark with warnings as errors, and runs every test inside a
# private session (its own D-Bus, keyring and data directories).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh -DAIRLARK_WERROR=ON -DAIRLARK_BUILD_TESTS=ON -DAIRLARK_BUILD_BENCH=ON
build=${AIRLARK_BUILD_DIR:-build}
scripts/with-test-session.sh ctest --test-dir "$build" --output-on-failure --no-tests=error -j2
