#!/usr/bin/env bash
# Installs what is missing, builds the application alone (not the tests or benchmarks, which
# scripts/test.sh builds) and starts it. Arguments go to Airlark.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${AIRLARK_BUILD_DIR:-build}
scripts/install-deps.sh
echo "== Configuring Airlark in $build/" >&2
if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S . -B "$build"
else
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAIRLARK_BUILD_TESTS=OFF -DAIRLARK_BUILD_BENCH=OFF
fi
echo "== Building the application (the first build takes several minutes)" >&2
cmake --build "$build" --target airlark
echo "== Starting $build/src/app/airlark" >&2
exec "$build/src/app/airlark" "$@"
