#!/usr/bin/env bash
# Uses an integrator's kit (scripts/windows-sdk.sh) as one would: checks its
# files (its schemas those of the POSIX tool), builds SdkConsumer.c from its header against each of its two import
# libraries, and runs the program beside the kit's DLL under Wine: each of
# the nine imports must be bound to the export of its name, and
# CustToZK8Ext on examples/customer_catalogue.xml must return 0 and write the
# bytes the POSIX tool writes.
# Usage: check-sdk.sh WINE COMPILER ZIP CONSUMER_SOURCE POSIX_TOOL EXAMPLES_DIR WORK_DIR
set -uo pipefail
. "$(dirname "$0")/checks.sh"
wine=$1 compiler=$2 zip=$3 source=$4 tool=$5 examples=$6 work=$7

for file in "$zip" "$tool"; do
  [ -f "$file" ] || { echo "missing $file (scripts/windows-test.sh makes it)"; echo "0 passed, 1 failed"; exit 1; }
done

rm -rf "$work"
mkdir -p "$work/appdata/ORVANE/Kelmora"
kit=$(basename "$zip" .zip)
check "files of the kit" test "$(unzip -Z1 "$zip" | grep -v '/$' | sort)" == "$kit/README.txt
$kit/bin/ZK8_XML_Conv.dll
$kit/include/zk8_xml_conv.h
$kit/lib/ZK8_XML_Conv.lib
$kit/lib/libZK8_XML_Conv.dll.a
$kit/share/zk8-xml-conv/schema/customer.xsd
$kit/share/zk8-xml-conv/schema/device.xsd"
unzip -q "$zip" -d "$work"
for dialect in customer device; do
  check "$dialect.xsd as the POSIX tool writes it" cmp "$work/$kit/share/zk8-xml-conv/schema/$dialect.xsd" \
    <("$tool" schema "$dialect")
done

input=$examples/customer_catalogue.xml
check "POSIX tool" env ZK8_COMMON_APPDATA="$work/appdata" "$tool" to-device "$input" "$work/posix.xml" \
  --workdir "$work" >/dev/null
for library in libZK8_XML_Conv.dll.a ZK8_XML_Conv.lib; do
  app=$work/with-$library
  mkdir -p "$app"
  cp "$work/$kit/bin/ZK8_XML_Conv.dll" "$app/"
  check "built against $library" "$compiler" -O2 -static -I "$work/$kit/include" -x c "$source" \
    -x none "$work/$kit/lib/$library" -o "$app/consumer.exe"
  check "CustToZK8Ext through $library" "$wine" "$app/consumer.exe" "$(winpath "$input")" \
    "$(winpath "$app/out.xml")" "$(winpath "$app")"
  check "same bytes as the POSIX tool through $library" cmp "$work/posix.xml" "$app/out.xml"
done

finish
