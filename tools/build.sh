#!/usr/bin/env bash
# Configures and builds one flavour of the tree.
#   tools/build.sh            Release build in build/release
#   tools/build.sh sanitize   AddressSanitizer + UBSan build in build/sanitize
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}
case "$flavour" in
  release)  flags=(-DCMAKE_BUILD_TYPE=Release -DMARKD_SANITIZE=OFF) ;;
  sanitize) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DMARKD_SANITIZE=ON -DMARKD_BENCH=OFF) ;;
  *) echo "build.sh: unknown flavour '$flavour' (release or sanitize)" >&2; exit 2 ;;
esac
cmake -S . -B "build/$flavour" -G Ninja -DMARKD_WERROR=ON "${flags[@]}" >/dev/null
cmake --build "build/$flavour" --parallel "$(nproc)"
