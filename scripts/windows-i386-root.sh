#!/usr/bin/env bash
# Makes an i386 Debian root of this machine's release holding 32-bit Wine, in
# which the 32-bit DLL's tests run (tests/windows/wine-i386.sh enters it).
# 64-bit Debian cannot install the i386 Wine beside its own here; a root of
# its own can. Kept between runs; a root without its completion marker (an
# interrupted run) is made again.
# Usage: scripts/windows-i386-root.sh FOLDER
set -euo pipefail
folder=$(realpath -m "$1")
[ "$folder" != / ] || exit 1
marker=$folder/.zk8-root-complete
. /etc/os-release
wanted="$VERSION_CODENAME i386 wine wine32"
[ -f "$marker" ] && [ "$(cat "$marker")" == "$wanted" ] && exit 0

scripts_folder=$(dirname "$0")
"$scripts_folder/install-deps.sh" debootstrap

# The machine's own Debian mirror: the first URI of an enabled source with
# the release's main suite, from apt's configuration.
mirror=$(
  {
    cat /etc/apt/sources.list.d/*.sources 2>/dev/null
    echo
  } | awk -v suite="$VERSION_CODENAME" '
    function flush() {
      if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && enabled != "no" && uri != "")
        { print uri; found = 1; exit }
      types = suites = uri = enabled = ""
    }
    /^[[:space:]]*$/ { flush(); next }
    /^Types:/ { sub(/^Types:[[:space:]]*/, ""); types = $0 }
    /^Suites:/ { sub(/^Suites:[[:space:]]*/, ""); suites = $0 }
    /^URIs:/ { uri = $2 }
    /^Enabled:/ { enabled = tolower($2) }
    END { if (!found) flush() }'
)
if [ -z "$mirror" ] && [ -f /etc/apt/sources.list ]; then
  mirror=$(sed -n -E "s/^deb[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+$VERSION_CODENAME[[:space:]].*/\2/p" \
    /etc/apt/sources.list | head -n 1)
fi
[ -n "$mirror" ] || { echo "no Debian source for $VERSION_CODENAME in apt's configuration" >&2; exit 1; }

# Anything left mounted below the folder by an interrupted run goes first.
tac /proc/mounts | awk -v root="$folder" '$2 == root || index($2, root "/") == 1 {print $2}' |
  while read -r mount; do umount -l "$mount"; done
rm -rf --one-file-system "$folder"
mkdir -p "$folder"

echo "Making the i386 root with 32-bit Wine in $folder"
# In a mount namespace of its own: what the setup mounts inside the root
# disappears with it, however it ends.
unshare -m --propagation private bash -euo pipefail -c '
  folder=$1 mirror=$2 suite=$3
  debootstrap --arch=i386 --variant=minbase "$suite" "$folder" "$mirror" >"$folder.log" 2>&1 ||
    { tail -n 20 "$folder.log" >&2; exit 1; }
  mount -t proc proc "$folder/proc"
  cp /etc/resolv.conf "$folder/etc/resolv.conf" 2>/dev/null || true
  chroot "$folder" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends wine wine32 >>"$folder.log" 2>&1 </dev/null ||
    { tail -n 20 "$folder.log" >&2; exit 1; }
  chroot "$folder" apt-get clean
' bash "$folder" "$mirror" "$VERSION_CODENAME"
rm -f "$folder.log"
echo "$wanted" >"$marker"
