#!/usr/bin/env bash
# Converts the shipped examples in both directions. Builds only what it
# runs: the library and zk8conv, in build-example/ (no tests, no benchmarks,
# no bindings), after installing the Debian packages they need when missing.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh g++ cmake make libpugixml-dev libcli11-dev nlohmann-json3-dev
cmake -S . -B build-example -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DZK8_BENCH=OFF >/dev/null
cmake --build build-example -j"$(nproc)" --target ZK8_XML_Conv zk8conv
out=build-example/example-output
mkdir -p "$out"
build-example/zk8conv to-device examples/customer_catalogue.xml "$out/catalogue_device.xml" --workdir "$out"
build-example/zk8conv to-customer examples/device_reply.xml "$out/reply_customer.xml" --workdir "$out"
echo "Wrote (UTF-16):"
ls -l "$out"
echo
echo "Device XML, as text:"
iconv -f UTF-16 -t UTF-8 "$out/catalogue_device.xml"; echo
echo
echo "Run log ($out/Runlog.log):"
cat "$out/Runlog.log"
