#!/usr/bin/env bash
# Measures the largest input of each direction that the 32-bit DLL converts
# in a 32-bit host under Wine (customer UTF-8 to device, device UTF-16 to
# customer), and checks what happens one step above: the defined failure
# (-96), the host alive, and its next call correct. Needs what
# scripts/windows-test.sh leaves: build-win32/ZK8_XML_Conv.dll, the i386 root
# with 32-bit Wine and its prefix, and build/bench/zk8gen.
# Usage: scripts/windows-ceiling.sh [SCRATCH_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scratch=$(realpath -m "${1:-/tmp/zk8ceiling}")
mkdir -p "$scratch"
trap 'rm -f "$scratch"/*.xml "$scratch"/expected-*' EXIT

i686-w64-mingw32-gcc -O2 -static -o "$scratch/ceiling-host.exe" bench/windows/CeilingHost.c
export WINEPREFIX=$root/build-wine/prefix-i386 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=(bash scripts/in-root.sh "$root/build-wine/i386-root" "$root:$scratch" wine)
zpath() { echo "Z:${1//\//\\}"; }

# Small inputs whose conversion must still be right after a failure.
printf '<?xml version="1.0" encoding="UTF-8"?><scaledata><articles><article mode="write"><plu_no>12</plu_no></article></articles></scaledata>' >"$scratch/small-customer.xml"
printf '\xFF\xFE' >"$scratch/small-device.xml"
printf '<dat><art m="w"><plu>12</plu></art></dat>' | iconv -f ASCII -t UTF-16LE >>"$scratch/small-device.xml"
# What they convert to.
utf16() { printf '\xFF\xFE'; printf '%s' "$1" | iconv -f ASCII -t UTF-16LE; }
utf16 '<?xml version="1.0" encoding="UTF-16"?><dat><_/><art m="w"><dvn>0</dvn><plu>12</plu></art><_/></dat>' \
  >"$scratch/expected-to-device"
utf16 '<?xml version="1.0" encoding="UTF-16"?><scaledata xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><articles><article mode="write"><plu_no>12</plu_no></article></articles></scaledata>' \
  >"$scratch/expected-to-customer"

# try DIRECTION DIALECT SIZE_MB [--utf16]: prints "LARGE SMALL" results.
try() {
  local direction=$1 dialect=$2 size=$3
  shift 3
  build/bench/zk8gen "$dialect" "$size" "$scratch/big.xml" "$@"
  rm -f "$scratch/out.xml"
  "${wine[@]}" "$(zpath "$scratch/ceiling-host.exe")" "$(zpath "$root/build-win32/ZK8_XML_Conv.dll")" \
    "$direction" "$(zpath "$scratch/big.xml")" "$(zpath "$scratch/small-$([ "$dialect" = customer ] && echo customer || echo device).xml")" \
    "$(zpath "$scratch/out.xml")" "$(zpath "$scratch")" 2>/dev/null | tr -d '\r\n'
  cmp -s "$scratch/out.xml" "$scratch/expected-$direction" && echo " (small output right)" ||
    echo " (small output WRONG)"
}

# Doubles, then halves the step, until the largest size in MB that converts
# is known to within 4 MB.
measure() {
  local direction=$1 dialect=$2
  shift 2
  local good=0 bad=0 size=32 step result
  while :; do
    result=$(try "$direction" "$dialect" "$size" "$@")
    echo "  $size MB: $result" >&2
    if [ "${result%% *}" = 0 ]; then good=$size; else bad=$size; failure=$result; fi
    [ "$bad" -ne 0 ] && [ $((bad - good)) -le 4 ] && break
    if [ "$bad" -eq 0 ]; then size=$((size * 2)); else size=$(((good + bad) / 2)); fi
  done
  echo "$direction: largest $good MB; $bad MB gives \"$failure\" (large, then small)"
}

echo "Customer UTF-8 to device:"
measure to-device customer
echo "Device UTF-16 to customer:"
measure to-customer device --utf16
