#!/usr/bin/env bash
# What one call leaves for the next, checked against the reference release
# (scripts/reference-library.sh builds it):
#
#   scripts/sequence-test.sh [SECONDS] [FIRST_SEED]    (default 120 s, seed 1)
#
# 1. The cases of tests/cases/AcrossCalls.cases run on the reference
#    library too: each must pass there as it passes on the current one.
# 2. Random sequences of 2 to 20 calls run on both libraries, each in a
#    process of its own, for SECONDS, compared after every call: results,
#    outputs, status files, Temp.xml and run logs (times blanked). The
#    inputs are the fuzz corpora, the shipped examples and a few bad files.
# Expects a build in build/ (scripts/build.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-120}
seed=${2:-1}
reference=$(scripts/reference-library.sh)
library=$PWD/build/libZK8_XML_Conv.so
cmake --build build --target sequence_runner e2e_tests >/dev/null

echo "AcrossCalls cases on the reference library ($reference):"
ZK8_CASES_LIBRARY=$reference ctest --test-dir build -R '^AcrossCalls\.' -j"$(nproc)" --output-on-failure |
  tail -n 3

pool=build/sequence-pool
rm -rf "$pool"
mkdir -p "$pool"
for folder in fuzz/corpus/to_customer fuzz/corpus/to_device fuzz/corpus/encoding; do
  for file in "$folder"/*; do cp "$file" "$pool/$(basename "$folder")_$(basename "$file")"; done
done
cp examples/*.xml "$pool/"
: > "$pool/bad_empty.xml"
printf '<scaledata/>' > "$pool/bad_no_declaration.xml"
printf '<?xml version="1.0" encoding=utf-8?><dat/>' > "$pool/bad_unquoted.xml"
# Device XML in UTF-8 beyond the Basic Multilingual Plane: read back from Temp.xml.
printf '<?xml version="1.0" encoding="UTF-8"?><dat><art m="w"><nam>\xf0\x9f\x98\x80</nam></art><exs><exc><eno>1</eno></exc></exs></dat>' \
  > "$pool/utf8_beyond_bmp.xml"

echo "Call sequences, reference against current library, $seconds s:"
build/tests/sequence_runner --reference "$reference" --library "$library" --host build/tests/host/libZKHost.so \
  --pool "$pool" --seconds "$seconds" --seed "$seed"
