#!/usr/bin/env bash
# What one call leaves for the next, checked against the reference release
# (scripts/reference-library.sh builds it):
#
#   scripts/sequence-test.sh [SECONDS] [FIRST_SEED]    (default 120 s, seed 1)
#
# 1. The cases of tests/cases/AcrossCalls.cases run on the reference
#    library too: each must pass there as it passes on the current one.
# 2. The case Sequences.AgainstTheReference for SECONDS: random sequences of
#    2 to 20 calls, each run on both libraries in a process of its own,
#    compared after every call: results, outputs, status files, Temp.xml and
#    run logs (times masked). The inputs are the shipped examples, the fuzz
#    corpora and a few bad files.
# Expects a build in build/ (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
seed=${2:-1}
reference=$(scripts/reference-library.sh)
cmake --build build --target e2e_tests >/dev/null

echo "AcrossCalls cases on the reference library ($reference):"
ZK8_CASES_LIBRARY=$reference ctest --test-dir build -R '^AcrossCalls\.' -j"$(nproc)" --output-on-failure |
  tail -n 3

echo "Call sequences, reference against current library, $seconds s:"
ZK8_REFERENCE_LIBRARY=$reference ZK8_SEQUENCE_SECONDS=$seconds ZK8_SEQUENCE_SEED=$seed \
  build/tests/e2e_tests --gtest_filter=Sequences.AgainstTheReference
