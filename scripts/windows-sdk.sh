#!/usr/bin/env bash
# Packs the integrator's kit of one Windows build of ZK8_XML_Conv.dll:
#
#   BUILD/ZK8_XML_Conv-sdk-win32.zip (i686) or -win64.zip (x86_64), holding
#     ZK8_XML_Conv-sdk-winNN/bin/ZK8_XML_Conv.dll
#     ZK8_XML_Conv-sdk-winNN/include/zk8_xml_conv.h
#     ZK8_XML_Conv-sdk-winNN/lib/ZK8_XML_Conv.lib        (Visual C++, by llvm-dlltool)
#     ZK8_XML_Conv-sdk-winNN/lib/libZK8_XML_Conv.dll.a   (mingw-w64, by dlltool)
#     ZK8_XML_Conv-sdk-winNN/share/zk8-xml-conv/schema/customer.xsd, device.xsd
#                                                        (the XML Schemas the build made)
#     ZK8_XML_Conv-sdk-winNN/README.txt                  (sdk/README.txt filled in)
#
# The import libraries are made from the DLL's module-definition file. On
# i686 a caller's compiler refers to the __stdcall functions as _Name@N while
# the DLL exports plain Name: the libraries define the decorated symbols and
# import the undecorated names. The zip has fixed times and its members in
# order (scripts/reproducible-zip.py). tests/packages/checks.sh sdk tests the kit.
# Usage: scripts/windows-sdk.sh BUILD_FOLDER i686|x86_64
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "$1") arch=$2
case $arch in
  i686) bits=32 machine=i386 kill_at=(-k) platform="32-bit (x86)" ;;
  x86_64) bits=64 machine=i386:x86-64 kill_at=() platform="64-bit (x64)" ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
scripts/install-deps.sh zip llvm "binutils-mingw-w64-${arch//_/-}"

kit=ZK8_XML_Conv-sdk-win$bits
stage=$build/sdk-stage
schemas=("$build/schema/customer.xsd" "$build/schema/device.xsd")
for schema in "${schemas[@]}"; do
  [ -f "$schema" ] || { echo "missing $schema: configure the build with -DZK8_SCHEMA_TOOL=a Linux zk8conv" >&2; exit 1; }
done
rm -rf "$stage" "$build/$kit.zip"
mkdir -p "$stage/$kit/bin" "$stage/$kit/include" "$stage/$kit/lib" "$stage/$kit/share/zk8-xml-conv/schema"
cp "$build/ZK8_XML_Conv.dll" "$stage/$kit/bin/"
cp include/zk8_xml_conv.h "$stage/$kit/include/"
cp "${schemas[@]}" "$stage/$kit/share/zk8-xml-conv/schema/"

# "Name = Name@N @ordinal" (i686) or "Name @ordinal": each exported name with
# the decoration of the symbol it stands for.
awk '/^(LIBRARY|EXPORTS)/ { print; next }
     /^[[:space:]]+[A-Za-z]/ {
       decoration = ""; ordinal = $2
       if ($2 == "=") { ordinal = $4; if (match($3, /@[0-9]+$/)) decoration = substr($3, RSTART) }
       print "    " $1 decoration " " ordinal }' "exports/ZK8_XML_Conv.$arch.def" >"$stage/imports.def"
# dlltool names the archive's members after its temporary files: a fixed
# prefix, so that they do not carry the build folder's path.
(cd "$stage" && "$arch-w64-mingw32-dlltool" -d imports.def -l "$kit/lib/libZK8_XML_Conv.dll.a" \
  --temp-prefix ZK8_XML_Conv "${kill_at[@]}")
llvm-dlltool -m "$machine" -d "$stage/imports.def" -l "$stage/$kit/lib/ZK8_XML_Conv.lib" "${kill_at[@]}"

# The README with this build's version, the header's result codes, and CRLF.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
codes=$(awk '/^ \*   -[0-9]/ { listing = 1 } listing && !/^ \*   / { exit }
             listing { print substr($0, 3) }' include/zk8_xml_conv.h)
decoration=""
[ "$bits" == 32 ] && decoration=$'\n\nThe exported names carry no decoration (no leading underscore, no "@N");\nthe import libraries map the names a 32-bit compiler uses (_CustToZK8Ext@12)\nto them.'
awk -v version="$version" -v platform="$platform" -v codes="$codes" -v decoration="$decoration" '
  { gsub(/@VERSION@/, version); gsub(/@PLATFORM@/, platform); sub(/@DECORATION@/, decoration)
    if ($0 == "@RESULT_CODES@") $0 = codes
    if ($0 ~ /^=+$/) { $0 = previous; gsub(/./, "=") }
    previous = $0
    gsub(/\n/, "\r\n"); print $0 "\r" }' sdk/README.txt >"$stage/$kit/README.txt"

(cd "$stage" && zip -q -r -X "$build/$kit.zip" "$kit")
scripts/reproducible-zip.py "$build/$kit.zip"
rm -rf "$stage"
echo "$build/$kit.zip"
