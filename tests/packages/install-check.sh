#!/usr/bin/env bash
# The runtime package installed for real (root, on a machine where it is not
# installed already): it makes the application-data folder for the group
# zk8conv, root's UTF-8 conversion puts Temp.xml there (never beside the
# program), a member of the group converts too, another user cannot, and
# purging the package leaves what conversions left there.
# Usage: tests/packages/install-check.sh RUNTIME_DEB EXAMPLES_DIR
set -euo pipefail
deb=$1 examples=$2
if [ "$(id -u)" -ne 0 ]; then echo "install check skipped: needs root"; exit 0; fi
if dpkg -s zk8-xml-conv >/dev/null 2>&1; then echo "install check skipped: zk8-xml-conv is installed"; exit 0; fi
folder=/var/lib/ORVANE/Kelmora
fail() { echo "install check: $*" >&2; exit 1; }
[ ! -e "$folder/Temp.xml" ] || fail "$folder/Temp.xml exists before the install"
work=$(mktemp -d)
trap 'dpkg --purge zk8-xml-conv >/dev/null 2>&1 || true; rm -rf "$work" "$folder/Temp.xml"; rmdir "$folder" /var/lib/ORVANE 2>/dev/null || true' EXIT
chmod 755 "$work"
cp "$examples/customer_catalogue.xml" "$work/in.xml"
dpkg -i "$deb" >/dev/null
[ "$(stat -c '%U %G %a' "$folder")" = "root zk8conv 2775" ] || fail "$folder is $(stat -c '%U %G %a' "$folder")"

(cd "$work" && env -u ZK8_COMMON_APPDATA zk8conv to-device in.xml root.xml --workdir "$work")
[ -f "$folder/Temp.xml" ] || fail "root's conversion wrote no $folder/Temp.xml"
[ ! -e /usr/bin/Temp.xml ] || fail "Temp.xml was written beside the program"
rm "$folder/Temp.xml"
chmod 777 "$work"
(cd "$work" && env -u ZK8_COMMON_APPDATA setpriv --reuid=nobody --regid=nogroup --groups=zk8conv \
  zk8conv to-device in.xml member.xml --workdir "$work")
[ "$(stat -c '%U %G' "$folder/Temp.xml")" = "nobody zk8conv" ] || fail "a member's Temp.xml is $(stat -c '%U %G' "$folder/Temp.xml")"
cmp -s "$work/root.xml" "$work/member.xml" || fail "a member of zk8conv converts otherwise than root"
if (cd "$work" && env -u ZK8_COMMON_APPDATA setpriv --reuid=nobody --regid=nogroup --clear-groups \
    zk8conv to-device in.xml other.xml --workdir "$work") 2>/dev/null; then
  [ ! -e /usr/bin/Temp.xml ] || fail "another user's conversion wrote beside the program"
fi
dpkg --purge zk8-xml-conv >/dev/null
[ -f "$folder/Temp.xml" ] || fail "purging removed the Temp.xml conversions left"
echo "install check: $folder made for zk8conv; Temp.xml there for root and a member; kept after purge"
