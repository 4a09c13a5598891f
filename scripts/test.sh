#!/usr/bin/env bash
# Installs what is missing, checks the C++ style, then builds and runs the tests twice, each test executable in a private
# session of its own (D-Bus, keyring, HOME and data directories):
#   1. build/        every test, in the optimised build with warnings as errors and assertions on;
#   2. build-asan/   every test again under AddressSanitizer and UndefinedBehaviorSanitizer.
# AIRLARK_SANITIZERS=0 stops after the first pass. A ThreadSanitizer build (-DAIRLARK_SANITIZE=thread)
# is left to developers: over Debian's uninstrumented Qt and libcurl it reports races on reference
# counts and on hand-offs under std::mutex that it cannot follow, and the TLS tests outrun their time.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Style first: it takes seconds, and a run that would fail on it should not spend its build time.
scripts/check-format.sh

run_tests() { # build folder, ctest arguments...
    local build=$1
    shift
    ctest --test-dir "$build" --output-on-failure --no-tests=error -j2 "$@"
}

build=${AIRLARK_BUILD_DIR:-build}
AIRLARK_BUILD_DIR=$build scripts/build.sh -DAIRLARK_WERROR=ON -DAIRLARK_ASSERTIONS=ON \
    -DAIRLARK_BUILD_TESTS=ON -DAIRLARK_BUILD_BENCH=ON
run_tests "$build"

if [ "${AIRLARK_SANITIZERS:-1}" = 0 ]; then
    exit 0
fi

# Sanitizer builds leave out the benchmarks; the layer checks prove a property of the build files,
# which the first pass has shown, and the package is built from the first pass's program only.
sanitized() { # folder, sanitizer setting, targets...
    local folder=$1 setting=$2
    shift 2
    cmake -S . -B "$folder" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DAIRLARK_WERROR=ON \
        -DAIRLARK_ASSERTIONS=ON -DAIRLARK_BUILD_BENCH=OFF -DAIRLARK_SANITIZE="$setting" >/dev/null
    cmake --build "$folder" --target "$@"
}

sanitized build-asan ON all
run_tests build-asan -LE "layers|package"

