#!/usr/bin/env bash
# Builds the tool and its tests and runs every test.
#   ./test.sh             the ordinary build, all tests
#   ./test.sh --sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

build=build
options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZANTO_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  build=build-sanitize
  options=(-DCMAKE_BUILD_TYPE=Debug -DZANTO_SANITIZE=ON -DZANTO_WERROR=ON)
  export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
zanto_setup "$build" "${options[@]}"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j 2
