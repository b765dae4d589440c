#!/usr/bin/env bash
# Builds the self-contained library that the Linux wheel and the NuGet package
# carry (target ZK8_XML_Conv_portable: pugixml and the C++ runtime linked in,
# glibc alone needed) on the oldest system it is made for: in a Debian 11
# root, with its g++ 10 and CMake 3.18, so that the glibc symbol versions it
# asks for stop at Debian 11's (2.31). pugixml is compiled in from Debian 12's
# source package (scripts/pugixml-source.sh), the one every other build uses.
#
#   build-portable/root/                     the Debian 11 root (debootstrap;
#                                            kept between runs, and its Python
#                                            3.9 tries the wheel)
#   build-portable/build/portable/libZK8_XML_Conv.so   the library (Release)
#
# Usage: scripts/portable-build.sh   (prints the library's path)
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
root=$source_dir/build-portable/root
build=$source_dir/build-portable/build

scripts/debian-root.sh "$root" bullseye amd64 g++ cmake make python3 python3-venv >&2
pugixml_source=$(scripts/pugixml-source.sh)
scripts/in-root.sh "$root" "$source_dir" sh -c '
  cmake -S "$1" -B "$2" -DCMAKE_BUILD_TYPE=Release -DZK8_PORTABLE_ONLY=ON -DZK8_PUGIXML_SOURCE_DIR="$3" >/dev/null &&
  cmake --build "$2" --target ZK8_XML_Conv_portable -j"$4" >/dev/null' \
  sh "$source_dir" "$build" "$pugixml_source" "$(nproc)" >&2
echo "$build/portable/libZK8_XML_Conv.so"
