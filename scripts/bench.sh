#!/usr/bin/env bash
# Builds the benchmark program (Release, in build-bench/), measures what
# BENCHMARKS.md reports and writes its section "Latest results" from the
# figures measured:
#   figures   figures 1-3 with Google Benchmark
#   memory    figure 4 (peak memory and time per MB, every run in a fresh
#             process), kept in build-bench/memory.txt and drawn by
#             scripts/plot-memory.py into docs/figures/
#   goals     the goals against the strict, mandated and fair floors (the
#             single records again on tmpfs)
#   overlap   figure 5 (threads calling at once)
#   scaling   every dimension doubled five times, both directions, conversion
#             and check; drawn by scripts/plot-scaling.sh into
#             docs/figures/scaling.svg
# Each part's output is kept in build-bench/results/PART.txt with the commit
# it was measured at; the section is put together from the parts there (a
# part without a file there keeps its figures in BENCHMARKS.md), so a part
# run again replaces only its own figures.
#
# Usage: scripts/bench.sh [--scratch DIR] [--quick] [--parts LIST]
#   --scratch DIR  where generated inputs and outputs go (default /tmp/zk8bench;
#                  needs about 2 GB, removed at the end)
#   --quick        1 and 10 MB only, instead of up to 100 MB
#   --parts LIST   some of figures,memory,goals,overlap,scaling (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."

scratch=/tmp/zk8bench
sizes=1,10,100
memory_sizes=1,3,10,30,100
goal_sizes=10,50
parts=figures,memory,goals,overlap,scaling
while [ $# -gt 0 ]; do
  case "$1" in
    --scratch) scratch="$2"; shift 2 ;;
    --quick) sizes=1,10; memory_sizes=1,3,10; goal_sizes=10; shift ;;
    --parts) parts="$2"; shift 2 ;;
    *) echo "usage: scripts/bench.sh [--scratch DIR] [--quick] [--parts LIST]" >&2; exit 2 ;;
  esac
done
wanted() { [[ ",$parts," == *",$1,"* ]]; }

scripts/install-deps.sh
scripts/install-deps.sh libbenchmark-dev
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build-bench -j"$(nproc)" --target zk8bench zk8gen zk8conv >/dev/null

commit=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- . ':!BENCHMARKS.md' ':!docs/figures' || commit="$commit with uncommitted changes"
results=build-bench/results
mkdir -p "$results"
machine="$(nproc) CPUs ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')), $(awk '/MemTotal/ {printf "%.1f GB", $2 / 1048576}' /proc/meminfo) memory"
bench=build-bench/bench/zk8bench

# Runs one part: its command's output shown and kept with where and when it
# ran (the scratch folder is the one the command names).
part() {
  local name="$1" where="$2"; shift 2
  mkdir -p "$where"
  echo "== $name: $*"
  {
    echo "commit $commit, $(date -u +%Y-%m-%d), $machine, scratch $where on $(df --output=fstype "$where" | tail -1 | xargs)," \
         "load average before $(cut -d' ' -f1-3 /proc/loadavg)"
    echo
    "$@"
  } | tee "$results/$name.txt.new"
  mv "$results/$name.txt.new" "$results/$name.txt"
  echo
}

wanted figures && part figures "$scratch" "$bench" --scratch "$scratch" --sizes "$sizes"
if wanted memory; then
  part memory "$scratch" "$bench" --memory --scratch "$scratch" --sizes "$memory_sizes"
  tail -n +3 "$results/memory.txt" >build-bench/memory.txt
  python3 scripts/plot-memory.py build-bench/memory.txt docs/figures
fi
if wanted goals; then
  part goals "$scratch" "$bench" --goals --scratch "$scratch" --sizes "$goal_sizes"
  # The single records again where the file system costs least.
  [ -d /dev/shm ] && part goals-tmpfs /dev/shm/zk8bench "$bench" --singles --scratch /dev/shm/zk8bench
fi
wanted overlap && part overlap "$scratch" "$bench" --overlap --scratch "$scratch"
if wanted scaling; then
  part scaling "$scratch" "$bench" --scaling --scratch "$scratch" --data build-bench/scaling.txt
  scripts/plot-scaling.sh build-bench/scaling.txt docs/figures/scaling.svg
fi

# The section "Latest results" of BENCHMARKS.md, from the parts measured.
python3 - "$results" <<'PY' | scripts/write-section.py BENCHMARKS.md "latest results"
import pathlib, re, sys
results = pathlib.Path(sys.argv[1])
titles = [
    ("scaling", "Scaling: every dimension doubled", "zk8bench --scaling; drawn in [docs/figures/scaling.svg](docs/figures/scaling.svg)."),
    ("goals", "Goals against the strict, mandated and fair floors", "zk8bench --goals, scratch on the disk."),
    ("goals-tmpfs", "Single calls on tmpfs", "zk8bench --singles --scratch /dev/shm/zk8bench."),
    ("figures", "Figures 1 to 3", "zk8bench (Google Benchmark): large files, single records, the UTF-8 rewrite."),
    ("memory", "Figure 4: peak memory and time per MB", "zk8bench --memory; drawn in docs/figures/."),
    ("overlap", "Figure 5: calls that overlap", "zk8bench --overlap."),
]
lines = ["## Latest results", "",
         "Written by `scripts/bench.sh` from the figures it measured (build-bench/results/);",
         "not edited by hand. Each part names the commit it was measured at.", ""]
# A part not measured in this build folder keeps what the document says of it.
kept = {}
document = pathlib.Path("BENCHMARKS.md").read_text()
section = document[document.find("<!-- latest results"):document.find("<!-- end of latest results")]
for block in re.split(r"\n(?=### )", section)[1:]:
    kept[block.split("\n", 1)[0][4:]] = block.rstrip("\n").split("\n") + [""]
for name, title, how in titles:
    path = results / f"{name}.txt"
    if not path.exists():
        lines += kept.get(title, [])
        continue
    text = path.read_text().rstrip("\n").split("\n")
    lines += [f"### {title}", "", f"{how} Measured at {text[0]}.", "", "```"] + text[2:] + ["```", ""]
print("\n".join(lines))
PY
