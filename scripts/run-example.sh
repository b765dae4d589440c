#!/usr/bin/env bash
# Sets up, builds and converts the shipped example in both directions.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
out=build/example-output
mkdir -p "$out"
build/zk8conv to-device examples/customer_catalogue.xml "$out/catalogue_device.xml" --workdir "$out"
build/zk8conv to-customer examples/device_reply.xml "$out/reply_customer.xml" --workdir "$out"
echo "Wrote (UTF-16):"
ls -l "$out"
echo
echo "Device XML, as text:"
iconv -f UTF-16 -t UTF-8 "$out/catalogue_device.xml"; echo
echo
echo "Run log ($out/Runlog.log):"
cat "$out/Runlog.log"
