#!/usr/bin/env bash
# Cross-builds ZK8_XML_Conv.dll for 32-bit (i686) and 64-bit (x86-64)
# Windows with mingw-w64, pugixml compiled in from Debian's source package of
# the version installed here, and packs the integrator's kit of each
# (scripts/windows-sdk.sh):
#
#   build-win32/ZK8_XML_Conv.dll, build-win32/ZK8_XML_Conv-sdk-win32.zip
#   build-win64/ZK8_XML_Conv.dll, build-win64/ZK8_XML_Conv-sdk-win64.zip
#   build/zk8conv                  the Linux tool, which writes the kits' schemas
#   build-wine/pugixml-VERSION/    pugixml's source package (kept between runs)
#
# TARGET...: what to build in both folders (default: everything, the Windows
# tests' programs included; scripts/release.sh builds ZK8_XML_Conv alone).
# Installs the Debian packages it needs when missing.
# Usage: scripts/windows-build.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
targets=()
for target in "$@"; do targets+=(--target "$target"); done

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
scripts/install-deps.sh
scripts/install-deps.sh g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix dpkg-dev zip llvm

pugixml_version=$(dpkg-query -W -f='${Version}' libpugixml-dev)
pugixml_folder=build-wine/pugixml-$pugixml_version
if [ ! -f "$pugixml_folder/unpacked" ]; then
  if ! apt-cache showsrc pugixml 2>/dev/null | grep -qx "Version: $pugixml_version"; then
    # Source entries beside the binary ones the machine already has.
    echo "Adding source entries to apt's sources"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zk8-source-packages.sources >/dev/null
    else
      sed -n -E 's/^deb (.*)/deb-src \1/p' /etc/apt/sources.list |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zk8-source-packages.list >/dev/null
    fi
    "${sudo_cmd[@]}" apt-get update -qq
  fi
  rm -rf "$pugixml_folder"
  mkdir -p "$pugixml_folder"
  (cd "$pugixml_folder" && apt-get source -qq "pugixml=$pugixml_version")
  touch "$pugixml_folder/unpacked"
fi
pugixml_source=$(find "$root/$pugixml_folder" -mindepth 2 -maxdepth 3 -path '*/src/pugixml.cpp' |
  head -n 1)
pugixml_source=${pugixml_source%/src/pugixml.cpp}

# The kits' XML Schemas are written by this machine's zk8conv (build/).
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target zk8conv

for pair in build-win32:i686 build-win64:x86_64; do
  folder=${pair%%:*} arch=${pair#*:}
  cmake -S . -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZK8_PUGIXML_SOURCE_DIR="$pugixml_source" \
    -DZK8_SCHEMA_TOOL="$root/build/zk8conv" >/dev/null
  cmake --build "$folder" -j"$(nproc)" "${targets[@]}"
  scripts/windows-sdk.sh "$folder" "$arch"
done
