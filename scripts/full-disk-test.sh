#!/usr/bin/env bash
# A real full disk under Temp.xml (ROBUSTNESS.md, "Sweeps"): the
# application-data folder on a 2 MB tmpfs, and a UTF-8 device file of 20,000
# records with a character beyond the Basic Multilingual Plane (so that the
# engine reads Temp.xml back, 2.8 MB) converted to customer XML, by the
# library's export (loaded with ctypes, as a host loads it) and by
# `zk8conv to-customer`: once with the disk empty, so that it fills during
# the rewrite, and once with the disk filled beforehand.
#
#   scripts/full-disk-test.sh [BUILD_DIR]      (default: build)
#
# Required: Temp.xml cannot be written whole, so the export returns -95 and
# writes neither output nor status file (or returns 0 with exactly the right
# files, were Temp.xml ever not needed); never 0 with a partial output. The
# tool exits non-zero without an output, or 0 with the right files.
# Mounting needs root: otherwise, or where the mount fails, the test is
# skipped with a message (exit 0).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" 2>/dev/null && pwd || echo "${1:-build}")
library=$build/libZK8_XML_Conv.so
tool=$build/zk8conv
# The result the export gives when Temp.xml cannot be written whole.
expected_result=-95

if [ "$(id -u)" -ne 0 ]; then
  echo "full-disk test skipped: mounting a tmpfs needs root"
  exit 0
fi
for file in "$library" "$tool"; do
  [ -e "$file" ] || { echo "full-disk test: $file is missing (build first: scripts/build.sh)" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zk8-full-disk.XXXXXX")
disk=$work/disk
mkdir "$disk"
cleanup() {
  umount "$disk" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
if ! mount -t tmpfs -o size=2m zk8-full-disk "$disk" 2>/dev/null; then
  echo "full-disk test skipped: a tmpfs cannot be mounted here"
  exit 0
fi
mkdir -p "$disk/ORVANE/Kelmora"

# Converts and checks; its exit status is the verdict.
convert() {
  echo "full-disk test, $1: $(df -k --output=avail "$disk" | tail -n 1 | tr -d ' ') KB free on the application-data disk"
  ZK8_COMMON_APPDATA=$disk python3 - "$library" "$tool" "$work" "$expected_result" <<'EOF'
import ctypes, os, subprocess, sys

library, tool, work, expected_result = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
records = 20000

# The device file and the customer file it must give: the first name has
# U+1F600, which the rewrite has always turned into U+07D8 and "?".
device = ['<?xml version="1.0" encoding="UTF-8"?>\n<dat>\n']
customer = ['<?xml version="1.0" encoding="UTF-16"?><scaledata '
            'xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><articles>']
for i in range(records):
    name, shown = ("Apfel %d \U0001F600" % i, "Apfel %d \u07D8?" % i) if i == 0 else ("Apfel %d" % i,) * 2
    device.append('  <_/>\n  <art m="w"><dvn>1</dvn><plu>%d</plu><nam>%s</nam></art>\n' % (i, name))
    customer.append('<article mode="write"><plu_no>%d</plu_no><name>%s</name></article>' % (i, shown))
device.append('  <_/>\n</dat>\n')
customer.append('</articles></scaledata>')
source = os.path.join(work, "device.xml")
with open(source, "wb") as f:
    f.write("".join(device).encode("utf-8"))
right_output = "\ufeff".encode("utf-16-le") + "".join(customer).encode("utf-16-le")
right_status = "\ufeff".encode("utf-16-le") + '<?xml version="1.0"?>\n<status/>\n'.encode("utf-16-le")

def describe(path, right):
    if not os.path.exists(path):
        return "absent"
    data = open(path, "rb").read()
    if data == right:
        return "%d bytes, the right bytes" % len(data)
    at = next((i for i, (a, b) in enumerate(zip(data, right)) if a != b), min(len(data), len(right)))
    if at == len(data):
        return "%d bytes, a prefix of the right %d bytes" % (len(data), len(right))
    held = data.decode("utf-16-le", "replace").count("<article ")
    return "%d bytes (right: %d), first difference at byte %d, %d of the %d records" % (
        len(data), len(right), at, held, records)

def check(who, result, ok_result, output):
    status = output + "_Status.xml"
    out_state, status_state = describe(output, right_output), describe(status, right_status)
    print("  %s: %s; output %s; status file %s" % (who, result, out_state, status_state))
    if ok_result:
        return out_state.endswith("the right bytes") and status_state.endswith("the right bytes")
    return out_state == "absent" and status_state == "absent"

failed = False
export = ctypes.CDLL(library).ZK8ToCustExt
export.argtypes = [ctypes.c_char_p] * 3
output = os.path.join(work, "customer.xml")
result = export(source.encode(), output.encode(), work.encode())
if result not in (0, expected_result) or not check("ZK8ToCustExt", "result %d" % result, result == 0, output):
    print("FAIL: ZK8ToCustExt on a full application-data disk: expected result %d without output, "
          "or 0 with the right files" % expected_result)
    failed = True

output = os.path.join(work, "tool.xml")
run = subprocess.run([tool, "to-customer", source, output, "--workdir", work], capture_output=True, text=True)
print("  zk8conv says: " + (run.stdout + run.stderr).strip())
if not check("zk8conv to-customer", "exit %d" % run.returncode, run.returncode == 0, output):
    print("FAIL: zk8conv to-customer on a full application-data disk: expected a non-zero exit without output, "
          "or 0 with the right files")
    failed = True
sys.exit(1 if failed else 0)
EOF
}

failed=0
convert "the disk fills during the rewrite" || failed=1
rm -f "$disk/ORVANE/Kelmora/Temp.xml"
dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true
convert "the disk full beforehand" || failed=1
[ "$failed" -eq 0 ] || exit 1
echo "full-disk test passed"
