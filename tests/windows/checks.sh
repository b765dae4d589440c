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
# Wine sees this machine's root as drive Z:.
winpath() { local path; path=$(realpath -m "$1"); printf 'Z:%s' "${path//\//\\}"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
