#!/usr/bin/env bash
# The checks of what is shipped, as its users get it; each counts its checks
# and ends with "N passed, N failed" (TESTING.md, "Packages").
#
#   checks.sh export-table OBJDUMP DLL pei-i386|pei-x86-64      the DLL's PE headers
#   checks.sh sdk WINE COMPILER ZIP CONSUMER_SOURCE POSIX_TOOL EXAMPLES WORK
#                                                 an integrator's kit, used under Wine
#   checks.sh nuget PACKAGE VERSION CONVERT_EXE EXAMPLES WORK DEPENDENT_LIBRARY
#   checks.sh windows-wheel WHEEL win32|win_amd64 VERSION DLL
#   checks.sh linux-wheel WHEEL VERSION EXAMPLES DEPENDENT_LIBRARY WORK [OLD_ROOT]
#   checks.sh install RUNTIME_DEB EXAMPLES        the runtime package installed (root)
#   checks.sh without PACKAGE COMMAND...          COMMAND as if PACKAGE were not
#                                                 installed (root; mount namespace)
# DEPENDENT_LIBRARY: a build of the library that needs libpugixml1v5, which
# must fail to load where that is hidden; OLD_ROOT: the Debian 11 root of
# scripts/portable-build.sh, where the wheel is tried with the root's Python.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $description"
    return 1
  fi
}
same() {  # same DESCRIPTION ACTUAL EXPECTED
  check "$1" test "$2" == "$3" || printf '  expected: %s\n  actual:   %s\n' "$3" "$2"
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
need() {  # need FILE...: each made by the scripts that run these checks
  for file; do [ -f "$file" ] || { echo "missing $file"; echo "0 passed, 1 failed"; exit 1; }; done
}
# Wine sees this machine's root as drive Z:.
winpath() { local path; path=$(realpath -m "$1"); printf 'Z:%s' "${path//\//\\}"; }
machine() { file -b "$1" | cut -d, -f1; }
pe32="PE32 executable (DLL) (console) Intel 80386 (stripped to external PDB)"
pe64="PE32+ executable (DLL) (console) x86-64 (stripped to external PDB)"
glibc_alone() {  # the C library, its math library and the dynamic loader
  local needed
  needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
  echo "$(basename "$1") needs: $needed"
  same "$2 needs glibc alone" "$(echo "$needed" | tr ' ' '\n' | grep -vxE 'ld-linux-x86-64\.so\.2|libc\.so\.6|libm\.so\.6|')" ""
}
# A wheel of VERSION for TAG carrying LIBRARY, unpacked in FOLDER: its name,
# tags and files. A TAG of several platforms (py3-none-A.B) stands for one
# tag of each.
check_wheel() {  # check_wheel WHEEL FOLDER VERSION TAG LIBRARY
  local wheel=$1 version=$3 tag=$4 library=$5 info=zk8_xml_conv-$3.dist-info
  same "the wheel's name" "$(basename "$wheel")" "zk8_xml_conv-$version-$tag.whl"
  same "the wheel's tags" "$(grep '^Tag: ' "$2/$info/WHEEL" | sort)" \
    "$(echo "${tag#py3-none-}" | tr . '\n' | sed 's/^/Tag: py3-none-/' | sort)"
  check "installed as platform code" grep -qx "Root-Is-Purelib: false" "$2/$info/WHEEL"
  same "the files of the wheel" "$(unzip -Z1 "$wheel" | sort)" "$(printf '%s\n' "$info/METADATA" "$info/RECORD" \
    "$info/WHEEL" "$info/top_level.txt" zk8_xml_conv/__init__.py \
    zk8_xml_conv/_library.py zk8_xml_conv/_results.py "zk8_xml_conv/$library" | sort)"
}

# A DLL named ZK8_XML_Conv.dll exporting exactly the nine names undecorated
# (CustToZK8ExtWithLengthAttribute at CustToZK8Ext's entry point), importing
# from system DLLs only.
export_table() {
  local dump magic names rvas imports name
  dump=$("$1" -p "$2") || { echo "objdump failed"; echo "0 passed, 1 failed"; exit 1; }
  magic="010b (PE32)"
  [ "$3" == pei-x86-64 ] && magic="020b (PE32+)"
  same "file format" "$(grep -o 'file format .*' <<<"$dump")" "file format $3"
  same "optional header" "$(awk -F'\t+' '/^Magic/ {print $2, $3}' <<<"$dump")" "$magic"
  same "DLL flag" "$(sed -n '/^Characteristics/,/^$/p' <<<"$dump" | grep -c $'^\tDLL$')" "1"
  same "export table name" "$(awk '/^Name / {print $3}' <<<"$dump")" "ZK8_XML_Conv.dll"
  # The name table, sorted by name, with each name's index into the address
  # table: the ordinals follow the order of the public header.
  names=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | sed '1d;/^$/d' | tr -d '\t' | tr '\n' ' ')
  same "exported names" "$names" "[   8] CreateTagList [   3] CustToZK8 [   5] CustToZK8Ext \
[   6] CustToZK8ExtWithLengthAttribute [   7] CustToZK8LibStd [   4] CustToZK8WithLengthAttribute [   0] ZK8ToCust \
[   1] ZK8ToCustExt [   2] ZK8ToCustLibStd "
  rvas=$(sed -n 's/^\t\[ *\([0-9]*\)\] +base\[ *[0-9]*\] \([0-9a-f]*\) Export RVA$/\1 \2/p' <<<"$dump")
  same "address table entries" "$(wc -l <<<"$rvas")" "9"
  same "CustToZK8ExtWithLengthAttribute is CustToZK8Ext" "$(awk '$1 == 6 {print $2}' <<<"$rvas")" \
    "$(awk '$1 == 5 {print $2}' <<<"$rvas")"
  same "eight entry points" "$(awk '{print $2}' <<<"$rvas" | sort -u | wc -l)" "8"
  # Imports: the system's DLLs only, never a compiler runtime.
  imports=$(awk '/DLL Name:/ {print $3}' <<<"$dump")
  same "imports KERNEL32.dll and SHELL32.dll" "$(grep -cx -e KERNEL32.dll -e SHELL32.dll <<<"$imports")" "2"
  for name in $imports; do
    check "$name is a system DLL" grep -qxF "$name" <<<$'KERNEL32.dll\nmsvcrt.dll\nSHELL32.dll\nUSER32.dll\nADVAPI32.dll\nntdll.dll'
  done
}

# The kit's files (its schemas the POSIX tool's); the consumer built from its
# header against each import library, run under Wine: CustToZK8Ext writes
# the POSIX tool's bytes.
sdk() {
  local wine=$1 compiler=$2 zip=$3 source=$4 tool=$5 examples=$6 work=$7 kit library app dialect
  need "$zip" "$tool"
  rm -rf "$work"
  mkdir -p "$work/appdata/ORVANE/Kelmora"
  kit=$(basename "$zip" .zip)
  same "files of the kit" "$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')" "$kit/README.txt \
$kit/bin/ZK8_XML_Conv.dll $kit/include/zk8_xml_conv.h $kit/lib/ZK8_XML_Conv.lib $kit/lib/libZK8_XML_Conv.dll.a \
$kit/share/zk8-xml-conv/schema/customer.xsd $kit/share/zk8-xml-conv/schema/device.xsd "
  unzip -q "$zip" -d "$work"
  for dialect in customer device; do
    check "$dialect.xsd as the POSIX tool writes it" cmp "$work/$kit/share/zk8-xml-conv/schema/$dialect.xsd" \
      <("$tool" schema "$dialect")
  done
  check "POSIX tool" env ZK8_COMMON_APPDATA="$work/appdata" "$tool" to-device "$examples/customer_catalogue.xml" \
    "$work/posix.xml" --workdir "$work" >/dev/null
  for library in libZK8_XML_Conv.dll.a ZK8_XML_Conv.lib; do
    app=$work/with-$library
    mkdir -p "$app"
    cp "$work/$kit/bin/ZK8_XML_Conv.dll" "$app/"
    check "built against $library" "$compiler" -O2 -static -I "$work/$kit/include" -x c "$source" \
      -x none "$work/$kit/lib/$library" -o "$app/consumer.exe"
    check "CustToZK8Ext through $library" "$wine" "$app/consumer.exe" "$(winpath "$examples/customer_catalogue.xml")" \
      "$(winpath "$app/out.xml")" "$(winpath "$app")"
    check "same bytes as the POSIX tool through $library" cmp "$work/posix.xml" "$app/out.xml"
  done
}

# Its files, each native library built for its runtime folder, the Linux one
# needing glibc alone; docs/hosts/Convert.cs through the unpacked package
# under Mono with libpugixml1v5 hidden gives the shipped result.
nuget() {
  local package=$1 version=$2 convert=$3 examples=$4 work=$5 dependent
  need "$package"
  dependent=$(realpath "$6")
  rm -rf "$work"
  mkdir -p "$work/app" "$work/appdata/ORVANE/Kelmora" "$work/dependent"
  same "files of the package" "$(unzip -Z1 "$package" | grep -v -e '^_rels/' -e '^package/' \
    -e '^\[Content_Types\]' | sort | tr '\n' ' ')" "Zk8.XmlConv.nuspec build/net45/Zk8.XmlConv.targets \
lib/net45/Zk8.XmlConv.dll runtimes/linux-x64/native/libZK8_XML_Conv.so runtimes/win-x64/native/ZK8_XML_Conv.dll \
runtimes/win-x86/native/ZK8_XML_Conv.dll "
  unzip -q "$package" -d "$work/package"
  same "the 32-bit Windows DLL in win-x86" "$(machine "$work/package/runtimes/win-x86/native/ZK8_XML_Conv.dll")" "$pe32"
  same "the 64-bit Windows DLL in win-x64" "$(machine "$work/package/runtimes/win-x64/native/ZK8_XML_Conv.dll")" "$pe64"
  same "the x86-64 Linux library in linux-x64" \
    "$(machine "$work/package/runtimes/linux-x64/native/libZK8_XML_Conv.so")" "ELF 64-bit LSB shared object"
  check "id and version" grep -q "<id>Zk8.XmlConv</id>.*<version>$version</version>" \
    <(tr -d '\n' <"$work/package/Zk8.XmlConv.nuspec")
  glibc_alone "$work/package/runtimes/linux-x64/native/libZK8_XML_Conv.so" "the Linux library"
  # Convert.exe through the unpacked package, as on a machine without
  # libpugixml1v5; the same with a library that needs it must fail there.
  cp "$convert" "$work/package/lib/net45/Zk8.XmlConv.dll" "$work/app/"
  cp "$dependent" "$work/dependent/libZK8_XML_Conv.so"
  run() {  # run LIBRARY_FOLDER OUTPUT
    env ZK8_COMMON_APPDATA="$work/appdata" LD_LIBRARY_PATH="$1" bash "$here/checks.sh" without libpugixml1v5 \
      mono "$work/app/Convert.exe" "$examples/customer_catalogue.xml" "$2" "$work/app"
  }
  run "$work/dependent" "$work/app/control.xml" >"$work/control.txt" 2>&1
  check "a library that needs libpugixml1v5 cannot be loaded while it is hidden" \
    grep -q "libZK8_XML_Conv.so could not be loaded" "$work/control.txt"
  check "Convert.exe through the package, libpugixml1v5 hidden" run "$work/package/runtimes/linux-x64/native" \
    "$work/app/device.xml"
  check "the shipped result through the package" \
    cmp <(iconv -f UTF-16 -t UTF-8 "$work/app/device.xml") "$examples/results/customer_catalogue_device.txt"
}

windows_wheel() {
  local wheel=$1 version=$3 dll=$4
  need "$wheel"
  work=$(mktemp -d)  # global: the trap runs after the function
  trap 'rm -rf "$work"' EXIT
  unzip -q "$wheel" -d "$work"
  echo "$(basename "$wheel"):"
  check_wheel "$wheel" "$work" "$version" "py3-none-$2" ZK8_XML_Conv.dll
  same "the DLL of its bitness" "$(machine "$work/zk8_xml_conv/ZK8_XML_Conv.dll")" "$([ "$2" = win32 ] && echo "$pe32" || echo "$pe64")"
  check "the DLL it was made from" cmp -s "$dll" "$work/zk8_xml_conv/ZK8_XML_Conv.dll"
}

# Its tag against the glibc versions its library needs, its files, the
# library's dependencies and exports; pip install --no-index into a virtual
# environment of a Python that is not Debian's (ZK8_WHEEL_PYTHON, else
# python3 on the PATH, else pyenv's newest) with libpugixml1v5 hidden, and of
# OLD_ROOT's Python inside it: the shipped examples converted through it, with
# decoys in ZK8_XML_CONV_LIBRARY and LD_LIBRARY_PATH, give the results byte
# for byte from the library the wheel carries.
linux_wheel() {
  need "$1"
  local wheel version=$2 examples dependent work=$5 old_root=${6:-} library glibc platform python candidate status
  wheel=$(realpath "$1") examples=$(realpath "$3") dependent=$(realpath "$4")
  rm -rf "$work"
  mkdir -p "$work/unpacked" "$work/decoy"
  work=$(realpath "$work")
  # The name, the tag and the files.
  unzip -q "$wheel" -d "$work/unpacked"
  library=$work/unpacked/zk8_xml_conv/libZK8_XML_Conv.so
  glibc=$(objdump -T "$library" | grep -o 'GLIBC_[0-9.]*' | sort -V | tail -n 1)
  platform=manylinux_$(echo "$glibc" | sed -E 's/^GLIBC_([0-9]+)\.([0-9]+).*/\1_\2/')_x86_64
  case $platform in  # the older names of the same tags
    manylinux_2_5_x86_64) platform+=.manylinux1_x86_64 ;;
    manylinux_2_12_x86_64) platform+=.manylinux2010_x86_64 ;;
    manylinux_2_17_x86_64) platform+=.manylinux2014_x86_64 ;;
  esac
  echo "$(basename "$wheel"): the newest glibc symbol version its library uses is $glibc"
  check_wheel "$wheel" "$work/unpacked" "$version" "py3-none-$platform" libZK8_XML_Conv.so
  glibc_alone "$library" "the library"
  same "the library exports the nine functions alone" "$(nm -D --defined-only "$library" | awk '{print $NF}' |
    sort | tr '\n' ' ')" "CreateTagList CustToZK8 CustToZK8Ext CustToZK8ExtWithLengthAttribute CustToZK8LibStd \
CustToZK8WithLengthAttribute ZK8ToCust ZK8ToCustExt ZK8ToCustLibStd "
  # What each Python runs, in WORK (the only folder an old root sees): the
  # wheel, the examples and the decoys are copied there.
  cp "$wheel" "$work/"
  cp -r "$examples" "$work/examples"
  wheel=$work/$(basename "$wheel")
  cp "$dependent" "$work/decoy/libZK8_XML_Conv.so"
  cp "$dependent" "$work/decoy/libZK8_XML_Conv.so.2"
  cat >"$work/convert.py" <<'PYTHON'
import pathlib, sys, sysconfig
import zk8_xml_conv
examples, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
print("python", sys.version.split()[0], "at", sys.base_prefix)
print("site", sysconfig.get_paths()["platlib"])
print("loaded", zk8_xml_conv.library().path)
maps = pathlib.Path("/proc/self/maps").read_text().splitlines()
print("mapped", " ".join(sorted({line.split()[-1] for line in maps if "pugixml" in line or "ZK8" in line})))
zk8_xml_conv.customer_to_device(examples / "customer_catalogue.xml", out / "catalogue.xml", out)
zk8_xml_conv.customer_to_device(examples / "customer_catalogue_utf16.xml", out / "catalogue16.xml", out)
zk8_xml_conv.device_to_customer(out / "catalogue.xml", out / "back.xml", out)
zk8_xml_conv.device_to_customer(examples / "device_reply.xml", out / "reply.xml", out)
zk8_xml_conv.device_to_customer(examples / "device_label_transfer.xml", out / "label.xml", out)
(out / "plain.xml").write_bytes(b"<scaledata/>")
try:
    zk8_xml_conv.customer_to_device(out / "plain.xml", out / "never.xml", out)
except zk8_xml_conv.ConversionError as error:
    print("error", error.hint)
PYTHON
  # scenario.sh PYTHON NAME [CONTROL]: a virtual environment of PYTHON in
  # WORK/venv-NAME, the wheel installed into it, the conversions into
  # WORK/out-NAME; with CONTROL, a library that must fail to load first.
  cat >"$work/scenario.sh" <<'SCENARIO'
python=$1 name=$2 control=${3:-}
work=$(dirname "$0")
venv=$work/venv-$name/bin/python out=$work/out-$name
mkdir -p "$out" "$work/appdata-$name/ORVANE/Kelmora"
"$python" -m venv "$work/venv-$name" || exit 10
if [ -n "$control" ]; then
  echo "libpugixml1v5 hidden: $(ls /usr/lib/x86_64-linux-gnu/libpugixml.so.1* 2>&1 | head -n 1)"
  "$venv" -c "import ctypes; ctypes.CDLL('$control')" 2>"$work/control.txt" && exit 11
fi
"$venv" -m pip install --no-index --disable-pip-version-check --quiet "$work"/*.whl || exit 12
"$venv" -m pip list --disable-pip-version-check 2>/dev/null | grep -i zk8
env ZK8_XML_CONV_LIBRARY="$work/decoy/libZK8_XML_Conv.so" LD_LIBRARY_PATH="$work/decoy" \
  ZK8_COMMON_APPDATA="$work/appdata-$name" PYTHONDONTWRITEBYTECODE=1 \
  "$venv" "$work/convert.py" "$work/examples" "$out" >"$work/run-$name.txt" 2>&1 ||
  { cat "$work/run-$name.txt"; exit 13; }
SCENARIO
  # The checks of one Python's run: try NAME DESCRIPTION STATUS
  try() {
    local name=$1 description=$2 status=$3 run=$work/run-$1.txt site pair
    check "$description: a virtual environment" test "$status" -ne 10
    check "$description: pip install --no-index of the wheel" test "$status" -ne 12
    check "$description: the conversions through the installed wheel" test "$status" -eq 0
    cat "$run" 2>/dev/null
    site=$(sed -n 's/^site //p' "$run" 2>/dev/null)
    check "$description: the library the wheel carries was loaded" \
      grep -qx "loaded $site/zk8_xml_conv/libZK8_XML_Conv.so" "$run"
    check "$description: no other library and no pugixml mapped" \
      grep -qx "mapped $site/zk8_xml_conv/libZK8_XML_Conv.so" "$run"
    check "$description: the -98 hint through the wheel" \
      grep -qx 'error it is UTF-8 without an XML declaration; add <?xml version="1.0" encoding="UTF-8"?> at its start' "$run"
    for pair in catalogue.xml:customer_catalogue_device.txt catalogue16.xml:customer_catalogue_device.txt \
                back.xml:customer_catalogue_roundtrip.txt reply.xml:device_reply_customer.txt \
                reply.xml_Status.xml:device_reply_customer_status.txt label.xml:device_label_transfer_customer.txt \
                label.xml_Status.xml:device_label_transfer_customer_status.txt; do
      # The UTF-16 output, with its mark, is the result's text.
      check "$description: ${pair%%:*} is examples/results/${pair#*:}" \
        bash -c '[ "$(head -c 2 "$1" | od -An -tx1 | tr -d " ")" = fffe ] && iconv -f UTF-16 -t UTF-8 "$1" | cmp -s - "$2"' \
        bash "$work/out-$name/${pair%%:*}" "$examples/results/${pair#*:}"
    done
    echo "$description: the wheel in a virtual environment of Python $(sed -n 's/^python //p' "$run" 2>/dev/null), installed with pip --no-index"
  }
  # A Python that is not Debian's, on this machine as on one without libpugixml1v5.
  python=${ZK8_WHEEL_PYTHON:-}
  if [ -z "$python" ]; then
    for candidate in "$(python3 -c 'import sys; print(sys.executable)' 2>/dev/null)" \
                     $(ls -d "${PYENV_ROOT:-$HOME/.pyenv}"/versions/3.*/bin/python3 2>/dev/null | sort -rV); do
      [ -x "$candidate" ] || continue
      dpkg -S "$(realpath "$candidate")" >/dev/null 2>&1 || { python=$candidate; break; }
    done
  fi
  if [ -z "$python" ]; then
    check "a Python but Debian's (set ZK8_WHEEL_PYTHON to one)" false
  else
    check "$python is not Debian's" bash -c "! dpkg -S \"\$(realpath '$python')\" >/dev/null 2>&1"
    bash "$here/checks.sh" without libpugixml1v5 bash "$work/scenario.sh" "$python" here "$dependent"
    status=$?
    check "a library that needs libpugixml1v5 fails to load while it is hidden" test "$status" -ne 11
    grep -q "libpugixml.so.1: cannot open shared object file" "$work/control.txt" ||
      check "the control library failed for want of libpugixml.so.1 ($(tail -n 1 "$work/control.txt"))" false
    try here "this machine, libpugixml1v5 hidden" "$status"
  fi
  # The old root's own Python, inside the root.
  if [ -n "$old_root" ]; then
    local system
    system=$(. "$old_root/etc/os-release" && echo "$PRETTY_NAME")
    echo "In the root $old_root: $system, $(ls "$old_root"/lib/x86_64-linux-gnu/libc-*.so 2>/dev/null | sed 's/.*libc-\(.*\)\.so/glibc \1/')"
    check "no pugixml in the old root" test -z "$(find "$old_root/usr/lib" -name 'libpugixml*' -print -quit)"
    bash "$here/../../scripts/in-root.sh" "$old_root" "$work" bash "$work/scenario.sh" /usr/bin/python3 old-root
    try old-root "$system" "$?"
  fi
}

# The application-data folder made for the group zk8conv, Temp.xml there for
# root and for a member (never beside the program), purging keeps it.
install() {
  local deb=$1 examples=$2
  folder=/var/lib/ORVANE/Kelmora  # globals: the trap runs after the function
  if [ "$(id -u)" -ne 0 ]; then echo "install check skipped: needs root"; exit 0; fi
  if dpkg -s zk8-xml-conv >/dev/null 2>&1; then echo "install check skipped: zk8-xml-conv is installed"; exit 0; fi
  check "no $folder/Temp.xml before the install" test ! -e "$folder/Temp.xml" || return
  work=$(mktemp -d)
  trap 'dpkg --purge zk8-xml-conv >/dev/null 2>&1; rm -rf "$work" "$folder/Temp.xml"; rmdir "$folder" /var/lib/ORVANE 2>/dev/null' EXIT
  chmod 755 "$work"
  cp "$examples/customer_catalogue.xml" "$work/in.xml"
  check "the package installs" dpkg -i "$deb" >/dev/null || return
  same "$folder" "$(stat -c '%U %G %a' "$folder")" "root zk8conv 2775"
  convert() {  # convert OUTPUT [setpriv options]: zk8conv as a user of this machine
    (cd "$work" && env -u ZK8_COMMON_APPDATA ${2:+setpriv --reuid=nobody --regid=nogroup "$2"} \
      zk8conv to-device in.xml "$1" --workdir "$work")
  }
  check "root converts" convert root.xml
  check "root's Temp.xml in $folder" test -f "$folder/Temp.xml"
  rm -f "$folder/Temp.xml"
  chmod 777 "$work"
  check "a member of zk8conv converts" convert member.xml --groups=zk8conv
  same "a member's Temp.xml" "$(stat -c '%U %G' "$folder/Temp.xml")" "nobody zk8conv"
  check "a member's conversion is root's" cmp -s "$work/root.xml" "$work/member.xml"
  convert other.xml --clear-groups 2>/dev/null
  check "nothing beside the program" test ! -e /usr/bin/Temp.xml
  dpkg --purge zk8-xml-conv >/dev/null
  check "purging keeps the Temp.xml conversions left" test -f "$folder/Temp.xml"
}

# Each folder holding one of the package's files covered by an overlay in
# which those files are deleted, for COMMAND alone.
without() {
  local package=$1 hidden status=0
  shift
  if [ "$(id -u)" -ne 0 ]; then echo "checks.sh without: mounting needs root" >&2; exit 2; fi
  hidden=$(mktemp -d)
  unshare --mount --propagation private bash -euo pipefail -c '
    package=$1 hidden=$2
    shift 2
    mapfile -t files < <(dpkg-query -L "$package" 2>/dev/null | while read -r path; do [ -d "$path" ] || echo "$path"; done)
    mount -t tmpfs zk8-hidden "$hidden"
    count=0
    while read -r folder; do
      count=$((count + 1))
      mkdir "$hidden/$count" "$hidden/$count/upper" "$hidden/$count/work"
      for file in "${files[@]}"; do
        [ "$(dirname "$file")" = "$folder" ] && mknod "$hidden/$count/upper/$(basename "$file")" c 0 0
      done
      mount -t overlay zk8-hidden -o "lowerdir=$folder,upperdir=$hidden/$count/upper,workdir=$hidden/$count/work" "$folder"
    done < <(for file in "${files[@]}"; do dirname "$file"; done | sort -u)
    for file in "${files[@]}"; do
      if [ -e "$file" ] || [ -L "$file" ]; then echo "checks.sh without: $file of $package is still there" >&2; exit 2; fi
    done
    "$@"
  ' bash "$package" "$hidden" "$@" || status=$?
  rm -rf "$hidden"
  exit $status
}

command=$1
shift
case $command in
  export-table) export_table "$@" ;;
  sdk) sdk "$@" ;;
  nuget) nuget "$@" ;;
  windows-wheel) windows_wheel "$@" ;;
  linux-wheel) linux_wheel "$@" ;;
  install) install "$@" ;;
  without) without "$@" ;;
  *) echo "unknown check $command" >&2; exit 2 ;;
esac
finish
