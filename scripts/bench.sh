#!/usr/bin/env bash
# Builds the benchmarks in Release in their own build folder and prints one table of the hot
# paths: path, product rate, raw rate (the same database work through prepared sqlite3 calls,
# same run, same data; for the job sheet writer the same text by plain string appends), ratio,
# conditions. With TQS_TEST_POSTGRES_DSN set (scripts/with-postgres.sh sets it), the upload and
# results paths also run on PostgreSQL against libpq prepared statements.
#
#   scripts/bench.sh [--scale=F]     F < 1 shrinks every size (rows, outboxes, documents)
#   BUILD_DIR=... overrides the build folder (default build-bench)
# After the table, the HTTP host under load (bench/http): concurrent uploads and result requests
# on loopback against SQLite, and against PostgreSQL too when TQS_TEST_POSTGRES_DSN is set (run
# the script through scripts/with-postgres.sh for that).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD_DIR:-$root/build-bench}"
scale=1
for arg in "$@"; do
  case "$arg" in
    --scale=*) scale="${arg#--scale=}" ;;
    *) echo "unknown option $arg" >&2; exit 2 ;;
  esac
done
scaled() { awk -v n="$1" -v f="$scale" 'BEGIN { v = int(n * f); print (v < 1 ? 1 : v) }'; }

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTQS_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j2 --target server_paths_bench masterdata_append_bench masterdata_compaction_bench \
  broker_pass_bench broker_workers_bench job_sheet_writer_bench >/dev/null

bin="$build/bin"
[ -x "$bin/server_paths_bench" ] || bin="$build/bench/server"
rows=$(scaled 1000000)
out=$(mktemp)
trap 'rm -f "$out"' EXIT

"$bin/server_paths_bench" --rows="$rows" --outboxes="$(scaled 30)" --results="$(scaled 1000)" \
  >>"$out"
append_bin="$build/bin/masterdata_append_bench"
[ -x "$append_bin" ] || append_bin="$build/bench/masterdata/masterdata_append_bench"
"$append_bin" --rows="$rows" --benchmark_min_time=0 2>/dev/null |
  awk -v rows="$rows" '/^APPEND copy:/ {
      gsub(/[;:]/, ""); printf "APPEND copy (master data)\t%s rows/s\t%s rows/s\t%s\t%s rows, INSERT INTO ... SELECT over ATTACH as raw\n", $3, $11, $14, rows }' \
  >>"$out"
compaction_bin="$build/bin/masterdata_compaction_bench"
[ -x "$compaction_bin" ] || compaction_bin="$build/bench/masterdata/masterdata_compaction_bench"
"$compaction_bin" --rows="$rows" --benchmark_min_time=0 2>/dev/null |
  awk '/^Centre compaction:/ {
      gsub(/[;:,()]/, ""); printf "Centre compaction (master data)\t%s kept rows/s\t%s kept rows/s\t%s\t%s rows over 5 centres, one kept; template %s B, centre %s B -> %s B; %s s; plain VACUUM as raw\n", $25, $32, $36, $3, $6, $13, $16, $23 }' \
  >>"$out"
# The broker pass prints its peak RSS (measured in a child process per side) in its conditions.
"$bin/broker_pass_bench" --docs="$(scaled 10000)" --employees="$(scaled 5000)" 2>/dev/null >>"$out"
# The broker pass with 4 and 8 workers against 1, the ERP answering after 20 ms.
"$bin/broker_workers_bench" --docs="$(scaled 400)" --employees="$(scaled 100)" 2>/dev/null >>"$out"
if [ -n "${TQS_TEST_POSTGRES_DSN:-}" ]; then
  "$bin/broker_workers_bench" --docs="$(scaled 400)" --employees="$(scaled 100)" \
    --dsn="$TQS_TEST_POSTGRES_DSN" 2>/dev/null >>"$out"
fi
"$bin/job_sheet_writer_bench" --docs="$(scaled 10000)" >>"$out"
rss_docs=$(scaled 10000)
"$bin/server_paths_bench" --rss-upload="$rss_docs" >"$out.rss"

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(df -T "${TMPDIR:-/tmp}" | awk 'NR==2 {print $2}') temp folder; scale $scale; $(date -u '+%F %H:%M UTC')"
{
  printf 'path\tproduct rate\traw rate\tratio\tconditions\n'
  cat "$out"
} | column -t -s $'\t'
echo
cut -f2- "$out.rss" | tr '\t' ' '
rm -f "$out.rss"

# The HTTP host under load: requests/s and latency percentiles per request kind, errors, and
# the lost/duplicated-rows check (its exit status fails the script when a check fails).
cmake --build "$build" -j2 --target http_load_bench >/dev/null
http_bin="$build/bin/http_load_bench"
[ -x "$http_bin" ] || http_bin="$build/bench/http/http_load_bench"
http_seconds=$(scaled 10)
echo
"$http_bin" --sqlite --clients=8 --seconds="$http_seconds"
if [ -n "${TQS_TEST_POSTGRES_DSN:-}" ]; then
  echo
  "$http_bin" --dsn="$TQS_TEST_POSTGRES_DSN" --clients=8 --seconds="$http_seconds"
fi
