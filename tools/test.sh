#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite.
#   tools/test.sh            Release build
#   tools/test.sh sanitize   the same tests under AddressSanitizer + UBSan
#   SKIP_SETUP=1 skips the apt-get step (for a machine already set up).
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
if [ "${SKIP_SETUP:-0}" != 1 ]; then
  tools/setup.sh
fi
tools/build.sh "$flavour"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "build/$flavour" --output-on-failure --parallel "$(nproc)" --timeout 300
