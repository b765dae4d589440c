#!/usr/bin/env bash
# Fetches Debian's source package of the pugixml installed here (libpugixml-dev)
# into build-wine/pugixml-VERSION/ (kept between runs) and prints the folder
# of its source tree, the one that holds src/pugixml.cpp. The builds that
# carry pugixml inside the library compile it from there
# (ZK8_PUGIXML_SOURCE_DIR): the Windows DLLs and the self-contained Linux
# library, so every library that travels has the pugixml Debian 12 ships.
# Adds deb-src entries beside apt's deb ones when the source is not found.
# Usage: scripts/pugixml-source.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
scripts/install-deps.sh libpugixml-dev dpkg-dev >&2

pugixml_version=$(dpkg-query -W -f='${Version}' libpugixml-dev)
pugixml_folder=build-wine/pugixml-$pugixml_version
if [ ! -f "$pugixml_folder/unpacked" ]; then
  if ! apt-cache showsrc pugixml 2>/dev/null | grep -qx "Version: $pugixml_version"; then
    # Source entries beside the binary ones the machine already has.
    echo "Adding source entries to apt's sources" >&2
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
      sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zk8-source-packages.sources >/dev/null
    else
      sed -n -E 's/^deb (.*)/deb-src \1/p' /etc/apt/sources.list |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/zk8-source-packages.list >/dev/null
    fi
    "${sudo_cmd[@]}" apt-get update -qq >&2
  fi
  rm -rf "$pugixml_folder"
  mkdir -p "$pugixml_folder"
  (cd "$pugixml_folder" && apt-get source -qq "pugixml=$pugixml_version" >&2)
  touch "$pugixml_folder/unpacked"
fi
pugixml_source=$(find "$root/$pugixml_folder" -mindepth 2 -maxdepth 3 -path '*/src/pugixml.cpp' |
  head -n 1)
[ -n "$pugixml_source" ] || { echo "no src/pugixml.cpp in $pugixml_folder" >&2; exit 1; }
echo "${pugixml_source%/src/pugixml.cpp}"
