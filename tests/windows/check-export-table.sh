#!/usr/bin/env bash
# Checks the PE headers of ZK8_XML_Conv.dll as `objdump -p` shows them: a DLL
# of the expected format named ZK8_XML_Conv.dll, exporting exactly the nine
# names without decoration (CustToZK8ExtWithLengthAttribute at the entry point
# of CustToZK8Ext), and importing from system DLLs only.
# Usage: check-export-table.sh OBJDUMP DLL pei-i386|pei-x86-64
set -uo pipefail
objdump=$1 dll=$2 format=$3

dump=$("$objdump" -p "$dll") || { echo "objdump failed"; echo "0 passed, 1 failed"; exit 1; }
passed=0 failed=0
check() {  # check DESCRIPTION ACTUAL EXPECTED
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n  expected: %s\n  actual:   %s\n' "$1" "$3" "$2"
  fi
}

magic="010b (PE32)"
[ "$format" == pei-x86-64 ] && magic="020b (PE32+)"
check "file format" "$(grep -o 'file format .*' <<<"$dump")" "file format $format"
check "optional header" "$(awk -F'\t+' '/^Magic/ {print $2, $3}' <<<"$dump")" "$magic"
check "DLL flag" "$(sed -n '/^Characteristics/,/^$/p' <<<"$dump" | grep -c $'^\tDLL$')" "1"
check "export table name" "$(awk '/^Name / {print $3}' <<<"$dump")" "ZK8_XML_Conv.dll"

# The name table, sorted by name, with each name's index into the address
# table: the ordinals follow the order of the public header.
names=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed '1d;/^$/d')
expected_names=$'\t[   8] CreateTagList
\t[   3] CustToZK8
\t[   5] CustToZK8Ext
\t[   6] CustToZK8ExtWithLengthAttribute
\t[   7] CustToZK8LibStd
\t[   4] CustToZK8WithLengthAttribute
\t[   0] ZK8ToCust
\t[   1] ZK8ToCustExt
\t[   2] ZK8ToCustLibStd'
check "exported names" "$names" "$expected_names"

rvas=$(sed -n 's/^\t\[ *\([0-9]*\)\] +base\[ *[0-9]*\] \([0-9a-f]*\) Export RVA$/\1 \2/p' <<<"$dump")
rva() { awk -v i="$1" '$1 == i {print $2}' <<<"$rvas"; }
check "address table entries" "$(wc -l <<<"$rvas")" "9"
check "CustToZK8ExtWithLengthAttribute is CustToZK8Ext" "$(rva 6)" "$(rva 5)"
check "eight entry points" "$(awk '{print $2}' <<<"$rvas" | sort -u | wc -l)" "8"

# Imports: the system's DLLs only, never a compiler runtime.
system_dlls=" KERNEL32.dll msvcrt.dll SHELL32.dll USER32.dll ADVAPI32.dll ntdll.dll "
imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump")
check "imports KERNEL32.dll and SHELL32.dll" \
  "$(grep -cx -e KERNEL32.dll -e SHELL32.dll <<<"$imports")" "2"
for name in $imports; do
  check "import of a system DLL" "$([[ $system_dlls == *" $name "* ]] && echo "$name")" "$name"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
