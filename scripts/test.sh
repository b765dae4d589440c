#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
# The bindings' tests need Python's packaging tools and Mono (without Mono
# the C# tests are reported as skipped), the schema cases xmllint.
scripts/install-deps.sh python3 python3-pip python3-setuptools python3-wheel libxml2-utils
scripts/install-deps.sh mono-mcs mono-runtime ||
  echo "Mono could not be installed: the C# binding will not be built, its tests are skipped"
scripts/build.sh
ctest --test-dir build -j"$(nproc)" --output-on-failure --timeout 120
