#!/usr/bin/env bash
# Makes a Debian root of release SUITE for architecture ARCH holding PACKAGES,
# from this machine's own Debian mirror: the i386 root with 32-bit Wine in
# which the 32-bit DLL's tests run (scripts/windows-test.sh), and the
# Debian 11 root in which the self-contained library is built and its wheel
# tried (scripts/portable-build.sh). Kept between runs; a root without its
# completion marker, or made with other packages (an interrupted run, a
# change of this list), is made again.
# Usage: scripts/debian-root.sh FOLDER SUITE ARCH PACKAGE...
set -euo pipefail
folder=$(realpath -m "$1") suite=$2 arch=$3
shift 3
[ "$folder" != / ] || exit 1
marker=$folder/.zk8-root-complete
wanted="$suite $arch $*"
[ -f "$marker" ] && [ "$(cat "$marker")" == "$wanted" ] && exit 0

scripts_folder=$(dirname "$0")
"$scripts_folder/install-deps.sh" debootstrap

# The machine's own Debian mirror: the first URI of an enabled source with
# this machine's release's main suite, from apt's configuration; older
# releases are on the same mirror.
. /etc/os-release
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

echo "Making the $suite $arch root with $* in $folder"
# In a mount namespace of its own: what the setup mounts inside the root
# disappears with it, however it ends.
unshare -m --propagation private bash -euo pipefail -c '
  folder=$1 mirror=$2 suite=$3 arch=$4
  shift 4
  debootstrap --arch="$arch" --variant=minbase "$suite" "$folder" "$mirror" >"$folder.log" 2>&1 ||
    { tail -n 20 "$folder.log" >&2; exit 1; }
  mount -t proc proc "$folder/proc"
  cp /etc/resolv.conf "$folder/etc/resolv.conf" 2>/dev/null || true
  chroot "$folder" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends "$@" >>"$folder.log" 2>&1 </dev/null ||
    { tail -n 20 "$folder.log" >&2; exit 1; }
  chroot "$folder" apt-get clean
' bash "$folder" "$mirror" "$suite" "$arch" "$@"
rm -f "$folder.log"
echo "$wanted" >"$marker"
