# Shared by the Windows and package check scripts (sourced): counted
# checks, Wine paths, and the closing "N passed, N failed" line that ctest's
# output shows.
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  local description=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $description"
  fi
}
# A wheel of VERSION for TAG carrying LIBRARY (its file name), unpacked in
# FOLDER: its name, tag and files. A TAG of several platforms
# (py3-none-A.B) names the wheel and stands for one tag of each.
check_wheel() {  # check_wheel WHEEL FOLDER VERSION TAG LIBRARY
  local wheel=$1 version=$3 tag=$4 library=$5
  local info=$2/zk8_xml_conv-$version.dist-info
  check "the wheel's name" test "$(basename "$wheel")" == "zk8_xml_conv-$version-$tag.whl"
  check "the wheel's tags" test "$(grep '^Tag: ' "$info/WHEEL" | sort)" == \
    "$(echo "${tag#py3-none-}" | tr . '\n' | sed 's/^/Tag: py3-none-/' | sort)"
  check "installed as platform code" grep -qx "Root-Is-Purelib: false" "$info/WHEEL"
  check "the files of the wheel" test "$(unzip -Z1 "$wheel" | sort)" == "$(printf '%s\n' \
    "zk8_xml_conv-$version.dist-info/METADATA" "zk8_xml_conv-$version.dist-info/RECORD" \
    "zk8_xml_conv-$version.dist-info/WHEEL" "zk8_xml_conv-$version.dist-info/top_level.txt" \
    zk8_xml_conv/__init__.py zk8_xml_conv/_library.py zk8_xml_conv/_results.py "zk8_xml_conv/$library" | sort)"
}
# Wine sees this machine's root as drive Z:.
winpath() { local path; path=$(realpath -m "$1"); printf 'Z:%s' "${path//\//\\}"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
