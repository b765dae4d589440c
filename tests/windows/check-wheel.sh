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
check "the wheel's name" test "$(basename "$wheel")" == "zk8_xml_conv-$version-py3-none-$platform.whl"
check "the wheel's tag" grep -qx "Tag: py3-none-$platform" "$work/zk8_xml_conv-$version.dist-info/WHEEL"
check "the files of the wheel" test "$(unzip -Z1 "$wheel" | sort)" == "zk8_xml_conv-$version.dist-info/METADATA
zk8_xml_conv-$version.dist-info/RECORD
zk8_xml_conv-$version.dist-info/WHEEL
zk8_xml_conv-$version.dist-info/top_level.txt
zk8_xml_conv/ZK8_XML_Conv.dll
zk8_xml_conv/__init__.py
zk8_xml_conv/_library.py
zk8_xml_conv/_results.py"
check "the DLL of its bitness" test "$(file -b "$work/zk8_xml_conv/ZK8_XML_Conv.dll" | cut -d, -f1)" == "$machine"
check "the DLL it was made from" cmp -s "$dll" "$work/zk8_xml_conv/ZK8_XML_Conv.dll"
finish
