#!/usr/bin/env bash
# Converts the shipped examples with the Windows DLL (through the test host,
# under Wine) and with the POSIX tool, and compares the outputs byte for byte;
# the outputs' text must also be the one shown in examples/results.
# Usage: compare-with-posix.sh WINE TEST_HOST DLL POSIX_TOOL EXAMPLES_DIR WORK_DIR
set -uo pipefail
. "$(dirname "$0")/checks.sh"
wine=$1 host=$2 dll=$3 tool=$4 examples=$5 work=$6

if [ ! -x "$tool" ]; then
  echo "missing POSIX tool $tool (scripts/build.sh builds it)"
  echo "0 passed, 1 failed"
  exit 1
fi

rm -rf "$work"
mkdir -p "$work/posix" "$work/windows" "$work/appdata/ORVANE/Kelmora"
# The POSIX tool's Temp.xml stays in this folder.
export ZK8_COMMON_APPDATA=$work/appdata


same_text() { cmp -s <(iconv -f UTF-16 -t UTF-8 "$1") "$examples/results/$2"; }

# convert DIRECTION INPUT NAME: both builds, outputs as NAME in their folders.
convert() {
  local direction=$1 input=$2 name=$3
  check "POSIX $direction $name" "$tool" "$direction" "$input" "$work/posix/$name" \
    --workdir "$work/posix" >/dev/null
  check "Windows $direction $name" "$wine" "$host" convert "$direction" "$dll" "$(winpath "$input")" \
    "$(winpath "$work/windows/$name")" "$(winpath "$work/windows")" \
    "$(winpath "$work/windows/$name.tags.txt")"
  check "same bytes: $name" cmp "$work/posix/$name" "$work/windows/$name"
}

for input in customer_catalogue customer_catalogue_utf16; do
  convert to-device "$examples/$input.xml" "$input.device.xml"
  check "expected text: $input" same_text "$work/windows/$input.device.xml" customer_catalogue_device.txt
done

for input in device_reply device_label_transfer; do
  convert to-customer "$examples/$input.xml" "$input.customer.xml"
  check "same bytes: status of $input" \
    cmp "$work/posix/$input.customer.xml_Status.xml" "$work/windows/$input.customer.xml_Status.xml"
  check "expected text: $input" same_text "$work/windows/$input.customer.xml" "${input}_customer.txt"
  check "expected text: status of $input" \
    same_text "$work/windows/$input.customer.xml_Status.xml" "${input}_customer_status.txt"
done

# A trip to device XML and back, starting from the Windows device file.
convert to-customer "$work/windows/customer_catalogue.device.xml" roundtrip.xml
check "expected text: round trip" same_text "$work/windows/roundtrip.xml" customer_catalogue_roundtrip.txt

# The tag list the DLL writes after a conversion, against the tool's.
check "POSIX tag list" "$tool" taglist "$work/posix/tags.txt"
check "same bytes: tag list" cmp "$work/posix/tags.txt" "$work/windows/roundtrip.xml.tags.txt"

finish
