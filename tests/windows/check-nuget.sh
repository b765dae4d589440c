#!/usr/bin/env bash
# Checks the NuGet package (scripts/nuget-package.sh) as a .NET host gets it:
# its files and where they sit, that each native library is built for the
# runtime folder it is in, that the Linux library needs glibc alone, and,
# unpacked, that the docs/hosts/Convert.cs example converts through the
# package's assembly and Linux library under Mono with the shipped result,
# on this machine with libpugixml1v5 hidden (tests/packages/without-package.sh).
# Usage: check-nuget.sh PACKAGE VERSION CONVERT_EXE EXAMPLES_DIR WORK_DIR DEPENDENT_LIBRARY
#   DEPENDENT_LIBRARY: a build of libZK8_XML_Conv.so that needs libpugixml1v5;
#   Convert.exe must fail with it while the package is hidden
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/checks.sh"
package=$1 version=$2 convert=$3 examples=$4 work=$5 dependent=$(realpath "$6")

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
linux=$work/package/runtimes/linux-x64/native/libZK8_XML_Conv.so
needed=$(readelf -d "$linux" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
echo "runtimes/linux-x64/native/libZK8_XML_Conv.so needs: $needed"
check "the Linux library needs glibc alone" test -z "$(echo "$needed" | tr ' ' '\n' | grep -vxE 'ld-linux-x86-64\.so\.2|libc\.so\.6|libm\.so\.6|')"

# Convert.exe through the unpacked package, as on a machine without
# libpugixml1v5; the same with a library that needs it must fail there.
cp "$convert" "$work/package/lib/net45/Zk8.XmlConv.dll" "$work/app/"
mkdir -p "$work/dependent"
cp "$dependent" "$work/dependent/libZK8_XML_Conv.so"
run() {  # run LIBRARY_FOLDER OUTPUT: Convert.exe with libpugixml1v5 hidden
  env ZK8_COMMON_APPDATA="$work/appdata" LD_LIBRARY_PATH="$1" \
    bash "$here/../packages/without-package.sh" libpugixml1v5 \
    mono "$work/app/Convert.exe" "$examples/customer_catalogue.xml" "$2" "$work/app"
}
run "$work/dependent" "$work/app/control.xml" >"$work/control.txt" 2>&1
check "a library that needs libpugixml1v5 cannot be loaded while it is hidden" \
  grep -q "libZK8_XML_Conv.so could not be loaded" "$work/control.txt"
check "Convert.exe through the package, libpugixml1v5 hidden" run "$work/package/runtimes/linux-x64/native" \
  "$work/app/device.xml"
check "the shipped result through the package" \
  cmp <(iconv -f UTF-16 -t UTF-8 "$work/app/device.xml") "$examples/results/customer_catalogue_device.txt"
[ -f "$work/app/device.xml" ] &&
  echo "Convert.exe under Mono through the unpacked package, libpugixml1v5 hidden: $(wc -c <"$work/app/device.xml") bytes"
finish
