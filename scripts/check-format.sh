#!/usr/bin/env bash
# Checks that every tracked C++ file in src/, tests/, bench/ and tools/ is in the project's clang-format
# style (.clang-format); lists each difference and fails if there is any. Changes nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' \
    'tools/*.cpp' 'tools/*.h' |
    xargs -0 --no-run-if-empty clang-format --dry-run --Werror
