#!/usr/bin/env bash
# Checks the NuGet package (scripts/nuget-package.sh) as a .NET host gets it:
# its files and where they sit, that each native library is built for the
# runtime folder it is in, and, unpacked, that the docs/hosts/Convert.cs
# example converts through the package's assembly and Linux library under
# Mono with the shipped result.
# Usage: check-nuget.sh PACKAGE VERSION CONVERT_EXE EXAMPLES_DIR WORK_DIR
set -uo pipefail
. "$(dirname "$0")/checks.sh"
package=$1 version=$2 convert=$3 examples=$4 work=$5

[ -f "$package" ] || { echo "missing $package"; echo "0 passed, 1 failed"; exit 1; }
rm -rf "$work"
mkdir -p "$work/app" "$work/appdata/ORVANE/Kelmora"
check "files of the package" test "$(unzip -Z1 "$package" | grep -v -e '^_rels/' -e '^package/' \
  -e '^\[Content_Types\]' | sort)" == "Zk8.XmlConv.nuspec
build/net45/Zk8.XmlConv.targets
lib/net45/Zk8.XmlConv.dll
runtimes/linux-x64/native/libZK8_XML_Conv.so
runtimes/win-x64/native/ZK8_XML_Conv.dll
runtimes/win-x86/native/ZK8_XML_Conv.dll"
unzip -q "$package" -d "$work/package"
machine() { file -b "$work/package/$1" | cut -d, -f1; }
check "the 32-bit Windows DLL in win-x86" test "$(machine runtimes/win-x86/native/ZK8_XML_Conv.dll)" \
  == "PE32 executable (DLL) (console) Intel 80386 (stripped to external PDB)"
check "the 64-bit Windows DLL in win-x64" test "$(machine runtimes/win-x64/native/ZK8_XML_Conv.dll)" \
  == "PE32+ executable (DLL) (console) x86-64 (stripped to external PDB)"
check "the x86-64 Linux library in linux-x64" test "$(machine runtimes/linux-x64/native/libZK8_XML_Conv.so)" \
  == "ELF 64-bit LSB shared object"
check "id and version" grep -q "<id>Zk8.XmlConv</id>.*<version>$version</version>" \
  <(tr -d '\n' <"$work/package/Zk8.XmlConv.nuspec")

cp "$convert" "$work/package/lib/net45/Zk8.XmlConv.dll" "$work/app/"
check "Convert.exe through the package" env ZK8_COMMON_APPDATA="$work/appdata" \
  LD_LIBRARY_PATH="$work/package/runtimes/linux-x64/native" \
  mono "$work/app/Convert.exe" "$examples/customer_catalogue.xml" "$work/app/device.xml" "$work/app"
check "the shipped result through the package" \
  cmp <(iconv -f UTF-16 -t UTF-8 "$work/app/device.xml") "$examples/results/customer_catalogue_device.txt"
finish
