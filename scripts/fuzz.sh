#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang (in their own folder) and runs each for a
# bounded time, starting from its seed corpus fuzz/corpus/<target>/. A crash, leak or sanitizer
# report stops the target and fails the script; the input that caused it is left in the
# artifacts folder (to become a regression test).
#   scripts/fuzz.sh                      every target for 60 s (scripts/test.sh: 3 s each)
#   FUZZ_SECONDS=600 scripts/fuzz.sh     every target for 10 minutes
#   scripts/fuzz.sh record_ids_fuzzer    only the named targets
#   FUZZ_BUILD_DIR=... (default build-fuzz)  FUZZ_WORK_DIR=... (default $FUZZ_BUILD_DIR/fuzz-runs)
# Each target's corpus grows in the work folder, never in the source tree.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${FUZZ_SECONDS:-60}"
build_dir="${FUZZ_BUILD_DIR:-build-fuzz}"
work_dir="${FUZZ_WORK_DIR:-$build_dir/fuzz-runs}"
cxx="${FUZZ_CXX:-$(command -v clang++-14 || command -v clang++ || true)}"
cc="${FUZZ_CC:-$(command -v clang-14 || command -v clang || true)}"
if [ -z "$cxx" ]; then
  echo "fuzz: no clang++ found (scripts/install-deps.sh installs clang-14)" >&2
  exit 2
fi

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DTQS_BUILD_FUZZERS=ON -DTQS_BUILD_TESTS=OFF \
  >/dev/null
cmake --build "$build_dir" -j2 --target fuzzers

if [ $# -gt 0 ]; then
  targets=("$@")
else
  mapfile -t targets < <(ls fuzz/corpus)
fi

# The targets' scratch databases live on the memory file system when there is one: their
# synchronous writes then cost nothing.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch="$(mktemp -d -p /dev/shm)"; else scratch="$(mktemp -d)"; fi
trap 'rm -rf "$scratch"' EXIT
status=0
for target in "${targets[@]}"; do
  # Absolute paths: a target may change its working directory (the broker's writes its error
  # log there).
  corpus="$(realpath -m "$work_dir/$target/corpus")"
  artifacts="$(realpath -m "$work_dir/$target/artifacts")"
  mkdir -p "$corpus" "$artifacts"
  log="$work_dir/$target/fuzz.log"
  result=0
  TQS_FUZZ_TMPDIR="$scratch" \
  ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
    "$build_dir/bin/$target" "$corpus" "$(realpath "fuzz/corpus/$target")" -max_total_time="$seconds" \
      -timeout=10 -rss_limit_mb=2048 -max_len=8192 -artifact_prefix="$artifacts/" \
      -print_final_stats=1 >"$log" 2>&1 || result=$?
  runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo "?")
  cover=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | grep -oE '[0-9]+' || echo "?")
  if [ "$result" -eq 0 ]; then
    echo "fuzz: $target: ${seconds}s, $runs executions, coverage $cover, no crash"
  else
    echo "fuzz: $target: FAILED after $runs executions (see $log; input in $artifacts)"
    tail -n 60 "$log"
    status=1
  fi
done
exit "$status"
