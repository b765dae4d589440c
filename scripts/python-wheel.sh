#!/usr/bin/env bash
# Builds the wheel of the Python module that carries the native library
# beside it: OUT_DIR/zk8_xml_conv-VERSION-py3-none-PLATFORM.whl, where the
# library decides PLATFORM:
#
#   libZK8_XML_Conv.so (x86-64)   manylinux_2_X_x86_64, X the newest GLIBC_
#                                 symbol version the library uses (it must be
#                                 the self-contained build, portable/), with
#                                 the older name of the same tag where there is
#                                 one (2.17: manylinux2014), which pip before
#                                 20.3 knows alone (Ubuntu 20.04's)
#   ZK8_XML_Conv.dll (32-bit)     win32
#   ZK8_XML_Conv.dll (64-bit)     win_amd64
#
# Built with Debian's python3, setuptools and wheel (bindings/python/wheel/
# setup.py), without a network. VERSION is the module's __version__.
# Usage: scripts/python-wheel.sh LIBRARY OUT_DIR   (prints the wheel's path)
set -euo pipefail
cd "$(dirname "$0")/.."
library=$(realpath "$1")
mkdir -p "$2"
out=$(realpath "$2")
scripts/install-deps.sh python3 python3-setuptools python3-wheel file binutils >&2

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp bindings/python/pyproject.toml bindings/python/wheel/setup.py "$stage/"
mkdir "$stage/zk8_xml_conv"
cp bindings/python/zk8_xml_conv/*.py "$stage/zk8_xml_conv/"
case $(file -b "$library") in
  "ELF 64-bit LSB shared object, x86-64"*)
    glibc=$(objdump -T "$library" | grep -o 'GLIBC_[0-9.]*' | sort -V | tail -n 1)
    [[ $glibc =~ ^GLIBC_([0-9]+)\.([0-9]+) ]] || { echo "$library uses no GLIBC_ symbol version" >&2; exit 1; }
    platform=manylinux_${BASH_REMATCH[1]}_${BASH_REMATCH[2]}_x86_64
    case ${BASH_REMATCH[1]}.${BASH_REMATCH[2]} in
      2.5) platform+=.manylinux1_x86_64 ;;
      2.12) platform+=.manylinux2010_x86_64 ;;
      2.17) platform+=.manylinux2014_x86_64 ;;
    esac
    strip --strip-unneeded -o "$stage/zk8_xml_conv/libZK8_XML_Conv.so" "$library" ;;
  "PE32 executable (DLL)"*"Intel 80386"*)
    platform=win32
    cp "$library" "$stage/zk8_xml_conv/ZK8_XML_Conv.dll" ;;
  "PE32+ executable (DLL)"*"x86-64"*)
    platform=win_amd64
    cp "$library" "$stage/zk8_xml_conv/ZK8_XML_Conv.dll" ;;
  *) echo "$library: not a library a wheel is made for ($(file -b "$library"))" >&2; exit 1 ;;
esac

# The archive's times are those of the last commit (or SOURCE_DATE_EPOCH,
# as the release sets it), its modes fixed, so that the same tree gives the
# same bytes whatever the umask.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}
chmod 644 "$stage"/*.* "$stage"/zk8_xml_conv/*.py
chmod 755 "$stage"/zk8_xml_conv/*ZK8_XML_Conv.*
(cd "$stage" && /usr/bin/python3 setup.py -q bdist_wheel --plat-name "$platform" --dist-dir "$stage/dist" \
  >/dev/null 2>"$stage/log") || { cat "$stage/log" >&2; exit 1; }
wheel=$(find "$stage/dist" -name '*.whl' -print -quit)
cp "$wheel" "$out/"
echo "$out/$(basename "$wheel")"
