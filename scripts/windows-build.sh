#!/usr/bin/env bash
# Cross-builds ZK8_XML_Conv.dll for 32-bit (i686) and 64-bit (x86-64)
# Windows with mingw-w64, pugixml compiled in from Debian's source package of
# the version installed here (scripts/pugixml-source.sh), and packs the
# integrator's kit of each (scripts/windows-sdk.sh):
#
#   build-win32/ZK8_XML_Conv.dll, build-win32/ZK8_XML_Conv-sdk-win32.zip
#   build-win64/ZK8_XML_Conv.dll, build-win64/ZK8_XML_Conv-sdk-win64.zip
#   build/zk8conv                  the Linux tool, which writes the kits' schemas
#   build-wine/pugixml-VERSION/    pugixml's source package (kept between runs)
#
# TARGET...: what to build in both folders (default: everything, the Windows
# tests' programs included; scripts/release.sh builds ZK8_XML_Conv alone).
# With targets named, the tests are not configured, so Wine is not needed.
# Installs the Debian packages it needs when missing.
# Usage: scripts/windows-build.sh [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
targets=()
for target in "$@"; do targets+=(--target "$target"); done
testing=ON
[ $# -eq 0 ] || testing=OFF

scripts/install-deps.sh
scripts/install-deps.sh g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix dpkg-dev zip llvm

pugixml_source=$(scripts/pugixml-source.sh)

# The kits' XML Schemas are written by this machine's zk8conv (build/).
cmake -S . -B build >/dev/null
cmake --build build -j"$(nproc)" --target zk8conv

for pair in build-win32:i686 build-win64:x86_64; do
  folder=${pair%%:*} arch=${pair#*:}
  cmake -S . -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DZK8_PUGIXML_SOURCE_DIR="$pugixml_source" -DBUILD_TESTING=$testing \
    -DZK8_SCHEMA_TOOL="$root/build/zk8conv" >/dev/null
  cmake --build "$folder" -j"$(nproc)" "${targets[@]}"
  scripts/windows-sdk.sh "$folder" "$arch"
done
