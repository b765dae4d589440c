#!/usr/bin/env bash
# Runs a program inside a Debian root made by scripts/debian-root.sh (the
# i386 root's 32-bit Wine, the Debian 11 root's compiler and Python), with
# the caller's environment and working directory. In a mount namespace of its
# own the root sees this machine's /dev and /proc, and each of the
# colon-separated FOLDERS at the same path, so that Unix and Z:\ paths mean
# there what they mean here; the mounts end with the namespace.
# Usage: in-root.sh ROOT FOLDERS PROGRAM [ARGUMENT...]
set -euo pipefail
root=$(realpath -m "$1") folders=$2
shift 2
if [ ! -f "$root/.zk8-root-complete" ]; then
  echo "no Debian root at $root (scripts/debian-root.sh makes it)" >&2
  exit 2
fi
exec unshare -m --propagation private bash -euo pipefail -c '
  root=$1 folders=$2
  shift 2
  mount --rbind /dev "$root/dev"
  mount -t proc proc "$root/proc"
  IFS=: read -r -a list <<<"$folders"
  for folder in "${list[@]}"; do
    folder=$(realpath -m -s "$folder")
    mkdir -p "$root$folder"
    mount --rbind "$folder" "$root$folder"
  done
  exec chroot "$root" /bin/sh -c "cd \"\$0\" 2>/dev/null || cd /; exec \"\$@\"" "$PWD" "$@"
' bash "$root" "$folders" "$@"
