#!/usr/bin/env bash
# Mutation testing (see TESTING.md): copies the working tree, uncommitted
# edits included, to build-mutation/src, builds it in build-mutation/build and
# lets scripts/mutate.py plant and test one fault at a time.
#   scripts/mutation.sh [--count N] [--seed S] [--list] [--limit SECONDS] [--folders A,B] [--resume]
# --resume keeps the outcomes of the last run of the same tree and runs only
# the mutants that had none (a run cut short, a full disk).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-mutation

for arg in "$@"; do
  # Listing the sample needs neither a copy nor a build.
  [[ $arg == --list ]] && exec python3 scripts/mutate.py --src "$root" "$@"
done

rm -rf "$out/src" "$out/build"
mkdir -p "$out/src"
git ls-files -z --cached --others --exclude-standard |
  tar --null -T - --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$out/src"
{
  echo "commit $(git rev-parse HEAD)"
  if [[ -n $(git status --porcelain) ]]; then echo "uncommitted changes:"; git status --porcelain; fi
} > "$out/tree.txt.new"
# --resume takes the last run's outcomes: only for the same tree.
if [[ " $* " == *" --resume "* ]] && ! cmp -s "$out/tree.txt" "$out/tree.txt.new"; then
  echo "--resume: the last run was of another tree ($(head -1 "$out/tree.txt" 2>/dev/null))" >&2
  exit 2
fi
mv "$out/tree.txt.new" "$out/tree.txt"
echo "Copied the working tree at $(head -1 "$out/tree.txt")$(sed -n 2p "$out/tree.txt" | sed 's/^/, with /;s/:$//')"

cmake -S "$out/src" -B "$out/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZK8_BENCH=OFF \
  -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >/dev/null
nice -n 10 cmake --build "$out/build" -j2 >/dev/null
# The unmutated sources must pass, or no kill would mean anything.
nice -n 10 ctest --test-dir "$out/build" -j2 --timeout 60 >/dev/null ||
  { echo "The unmutated copy fails its tests; see $out/build/Testing/Temporary/LastTest.log" >&2; exit 1; }

nice -n 10 python3 scripts/mutate.py --src "$out/src" --build "$out/build" --out "$out" "$@"
