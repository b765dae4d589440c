#!/usr/bin/env bash
# Checks a Windows wheel (scripts/python-wheel.sh): its name and tag, its
# files, and that it carries the DLL it was made from, of its bitness.
# Usage: check-wheel.sh WHEEL win32|win_amd64 VERSION DLL
set -uo pipefail
. "$(dirname "$0")/checks.sh"
wheel=$1 platform=$2 version=$3 dll=$4

[ -f "$wheel" ] || { echo "missing $wheel"; echo "0 passed, 1 failed"; exit 1; }
case $platform in
  win32) machine="PE32 executable (DLL) (console) Intel 80386 (stripped to external PDB)" ;;
  win_amd64) machine="PE32+ executable (DLL) (console) x86-64 (stripped to external PDB)" ;;
esac
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$wheel" -d "$work"
echo "$(basename "$wheel"):"
check_wheel "$wheel" "$work" "$version" "py3-none-$platform" ZK8_XML_Conv.dll
check "the DLL of its bitness" test "$(file -b "$work/zk8_xml_conv/ZK8_XML_Conv.dll" | cut -d, -f1)" == "$machine"
check "the DLL it was made from" cmp -s "$dll" "$work/zk8_xml_conv/ZK8_XML_Conv.dll"
finish
