#!/usr/bin/env bash
# Builds the bench preset and measures: the parsing benchmarks in separate
# rounds (JSON in build/bench/round-N.json; tables and the target check by
# bench/report.py, from the best round of each benchmark) and the peak
# memory of parsing a 64 MiB page of every shape.
#   bench/run.sh [rounds, default 3] [repetitions per round, default 3] [benchmark flags]
# A quick look while developing: bench/run.sh 1 1 --benchmark_filter=realistic
set -euo pipefail
cd "$(dirname "$0")/.."

rounds="${1:-3}"
repetitions="${2:-3}"
shift $(($# < 2 ? $# : 2))

scripts/deps.sh bench
cmake --preset bench >/dev/null
cmake --build --preset bench

files=()
for round in $(seq "$rounds"); do
  build/bench/bench/quillo_bench --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_out="build/bench/round-$round.json" \
    --benchmark_out_format=json "$@" >/dev/null
  files+=("build/bench/round-$round.json")
done
status=0
python3 bench/report.py "${files[@]}" || status=$?

echo "**Peak memory, 64 MiB pages**"
echo
for shape in realistic double_byte cr_lf_dense dense_entries near_misses; do
  build/bench/bench/quillo_parse_peak "$shape" 64 | sed 's/^/    /'
done
exit "$status"
