#!/usr/bin/env bash
# Checks the Linux wheel (scripts/python-wheel.sh) as a Python user gets it:
# its name and platform tag against the glibc versions its library's symbols
# need, its files, the library's dependencies (the C library alone); then
# installs it with `pip install --no-index WHEEL` into a virtual environment
# of each Python below and converts the shipped examples through it, with
# decoys in ZK8_XML_CONV_LIBRARY and LD_LIBRARY_PATH: every output must be
# the result in examples/results byte for byte, and the library loaded the
# one the wheel carries.
#
#   - a Python that is not Debian's, on this machine with libpugixml1v5
#     hidden (without-package.sh): ZK8_WHEEL_PYTHON, else python3 on the PATH
#     when Debian did not install it, else the newest of pyenv's (PYENV_ROOT,
#     default ~/.pyenv);
#   - with OLD_ROOT, that root's own python3 inside it (scripts/in-root.sh):
#     the Debian 11 root of scripts/portable-build.sh, the oldest system the
#     wheel is tried on, which has no pugixml at all.
# Usage: check-wheel.sh WHEEL VERSION EXAMPLES_DIR DEPENDENT_LIBRARY WORK_DIR [OLD_ROOT]
#   DEPENDENT_LIBRARY: a build of the library that needs libpugixml1v5, which
#   must fail to load while the package is hidden (and serves as the decoy)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../windows/checks.sh"
wheel=$(realpath "$1") version=$2 examples=$(realpath "$3") dependent=$(realpath "$4") work=$5 old_root=${6:-}

[ -f "$wheel" ] || { echo "missing $wheel"; echo "0 passed, 1 failed"; exit 1; }
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
# Only glibc: the C library, its math library and the dynamic loader.
needed=$(readelf -d "$library" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
echo "its library needs: $needed"
check "the library needs glibc alone" test -z "$(echo "$needed" | tr ' ' '\n' | grep -vxE 'ld-linux-x86-64\.so\.2|libc\.so\.6|libm\.so\.6|')"
check "the library exports the nine functions alone" test "$(nm -D --defined-only "$library" | awk '{print $NF}' |
  sort | tr '\n' ' ')" == "CreateTagList CustToZK8 CustToZK8Ext CustToZK8ExtWithLengthAttribute CustToZK8LibStd \
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
  local name=$1 description=$2 status=$3 run=$work/run-$1.txt site
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
  local pair output
  for pair in catalogue.xml:customer_catalogue_device.txt catalogue16.xml:customer_catalogue_device.txt \
              back.xml:customer_catalogue_roundtrip.txt reply.xml:device_reply_customer.txt \
              reply.xml_Status.xml:device_reply_customer_status.txt label.xml:device_label_transfer_customer.txt \
              label.xml_Status.xml:device_label_transfer_customer_status.txt; do
    # The UTF-16 output, with its mark, is the result's text.
    output=$work/out-$name/${pair%%:*}
    check "$description: ${pair%%:*} is examples/results/${pair#*:}" \
      bash -c '[ "$(head -c 2 "$1" | od -An -tx1 | tr -d " ")" = fffe ] && iconv -f UTF-16 -t UTF-8 "$1" | cmp -s - "$2"' \
      bash "$output" "$examples/results/${pair#*:}"
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
  echo "FAILED: no Python but Debian's was found; set ZK8_WHEEL_PYTHON to one"
  failed=$((failed + 1))
else
  check "$python is not Debian's" bash -c "! dpkg -S \"\$(realpath '$python')\" >/dev/null 2>&1"
  bash "$here/without-package.sh" libpugixml1v5 bash "$work/scenario.sh" "$python" here "$dependent"
  status=$?
  check "a library that needs libpugixml1v5 fails to load while it is hidden" test "$status" -ne 11
  grep -q "libpugixml.so.1: cannot open shared object file" "$work/control.txt" ||
    check "the control library failed for want of libpugixml.so.1 ($(tail -n 1 "$work/control.txt"))" false
  try here "this machine, libpugixml1v5 hidden" "$status"
fi

# The old root's own Python, inside the root.
if [ -n "$old_root" ]; then
  system=$(. "$old_root/etc/os-release" && echo "$PRETTY_NAME")
  echo "In the root $old_root: $system, $(ls "$old_root"/lib/x86_64-linux-gnu/libc-*.so 2>/dev/null | sed 's/.*libc-\(.*\)\.so/glibc \1/')"
  check "no pugixml in the old root" test -z "$(find "$old_root/usr/lib" -name 'libpugixml*' -print -quit)"
  bash "$here/../../scripts/in-root.sh" "$old_root" "$work" bash "$work/scenario.sh" /usr/bin/python3 old-root
  try old-root "$system" "$?"
fi
finish
