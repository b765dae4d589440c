#!/usr/bin/env bash
# Runs COMMAND on this machine as if the Debian package PACKAGE were not
# installed, without removing it: in a mount namespace of its own, every
# folder holding one of the package's files is covered by an overlay in which
# those files are deleted (whiteouts on a tmpfs). The dynamic loader then
# finds none of them, whatever its cache says, and everything else is as it
# was. The mounts end with COMMAND; nothing outside its processes sees them.
# Before COMMAND runs, every one of the package's files must be gone from its
# path. Needs root (mount namespaces, overlays).
# Usage: tests/packages/without-package.sh PACKAGE COMMAND [ARGUMENT...]
set -euo pipefail
package=$1
shift
if [ "$(id -u)" -ne 0 ]; then
  echo "without-package.sh: mounting needs root" >&2
  exit 2
fi
hidden=$(mktemp -d)
trap 'rm -rf "$hidden"' EXIT
status=0
unshare --mount --propagation private bash -euo pipefail -c '
  package=$1 hidden=$2
  shift 2
  mapfile -t files < <(dpkg-query -L "$package" 2>/dev/null |
                       while read -r path; do [ -d "$path" ] || echo "$path"; done)
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
    if [ -e "$file" ] || [ -L "$file" ]; then
      echo "without-package.sh: $file of $package is still there" >&2
      exit 2
    fi
  done
  "$@"
' bash "$package" "$hidden" "$@" || status=$?
exit $status
