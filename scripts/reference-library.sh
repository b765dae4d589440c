#!/usr/bin/env bash
# Builds the library of the reference release, the one before the output was
# rewritten, from a git worktree of its commit: build-reference/src (the
# worktree) and build-reference/build/libZK8_XML_Conv.so. The sequence tests
# compare this library with the current one call by call. Prints the
# library's path.
set -euo pipefail
cd "$(dirname "$0")/.."
reference=d84fb4e
scripts/install-deps.sh >&2
if ! git -C build-reference/src rev-parse --verify -q HEAD >/dev/null 2>&1 ||
   [ "$(git -C build-reference/src rev-parse HEAD)" != "$(git rev-parse "$reference^{commit}")" ]; then
  rm -rf build-reference/src
  git worktree prune
  git worktree add --detach build-reference/src "$reference" >&2
fi
cmake -S build-reference/src -B build-reference/build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
  -DZK8_BENCH=OFF >/dev/null
cmake --build build-reference/build -j"$(nproc)" --target ZK8_XML_Conv >&2
echo "$PWD/build-reference/build/libZK8_XML_Conv.so"
