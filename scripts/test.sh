#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest, against both
# server database backends: SQLite, and a throwaway PostgreSQL server that scripts/with-postgres.sh
# starts for the run and removes afterwards. Then, unless turned off, it builds the whole tree
# again with AddressSanitizer and UndefinedBehaviorSanitizer (in its own folder) and runs the same
# suite there (any sanitizer report, leaks included, fails the run), and runs each fuzz target
# for a few seconds from its seeds (scripts/fuzz.sh). The operator console's browser test
# (headless Chromium) runs in the first suite only.
#   scripts/test.sh                              all three passes
#   TQS_SANITIZERS=0 scripts/test.sh             without the sanitizer suite
#   TQS_FUZZ=0 scripts/test.sh                   without the fuzz runs
#   TQS_FUZZ_SECONDS=30 scripts/test.sh          each fuzz target for 30 s (default 3)
#   BUILD_DIR=... ASAN_BUILD_DIR=... FUZZ_BUILD_DIR=... scripts/test.sh
#                                                build folders (default build, build-asan,
#                                                build-fuzz)
#   TQS_TEST_POSTGRES_DSN=... scripts/test.sh    use that PostgreSQL test database instead
# ccache, when installed, serves all three builds.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
# The browser test's driver (playwright-core, pinned in tests/console/package-lock.json) with the
# machine's Node.js; Debian's nodejs and npm only where there is no npm. No browser is
# downloaded: the test runs the system's Chromium (scripts/install-deps.sh installs it).
if ! command -v npm >/dev/null; then bash scripts/install-deps.sh nodejs npm; fi
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --prefix tests/console --ignore-scripts --no-audit \
  --no-fund
# In this run a missing browser or driver fails the browser test instead of skipping it.
export TQS_REQUIRE_BROWSER_TESTS=1
build_dir="${BUILD_DIR:-build}"
asan_build_dir="${ASAN_BUILD_DIR:-build-asan}"
sanitizers="${TQS_SANITIZERS:-1}"
fuzz="${TQS_FUZZ:-1}"
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CMAKE_C_COMPILER_LAUNCHER=ccache
fi
# Prints how long a step took, for the CI log.
started=$SECONDS
took() { echo "== $1: $((SECONDS - started)) s"; started=$SECONDS; }

# run_suite BUILD_DIR LABEL: runs the build's tests inside a throwaway PostgreSQL server and
# prints what became of the PostgreSQL cases. Returns ctest's status.
run_suite() {
  local dir="$1" label="$2" status=0
  local junit
  junit="$(realpath "$dir")/Testing/ctest-results.xml"
  rm -f "$junit"
  bash scripts/with-postgres.sh \
    ctest --test-dir "$dir" --output-on-failure -j2 --output-junit "$junit" || status=$?

  # The cases that need the PostgreSQL server, and what became of them, so that a run that
  # skipped them shows at once.
  if [ -f "$junit" ]; then
    local cases
    cases=$(grep -oE '<testcase name="([^"]*/PostgreSQL|PostgresServerTest)[^"]*"[^>]*status="[a-z]*"' \
              "$junit" || true)
    count() { if [ -z "$cases" ]; then echo 0; else grep -c "status=\"$1\"" <<<"$cases" || true; fi; }
    echo "${label}PostgreSQL backend: $(count run) test cases ran, $(count fail) failed," \
         "$(count notrun) skipped (${TQS_TEST_POSTGRES_DSN:-throwaway server from scripts/with-postgres.sh})"
  fi
  return "$status"
}

cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j2
took "build"
status=0
run_suite "$build_dir" "" || status=$?
took "test suite"

if [ "$sanitizers" != 0 ]; then
  # -O1 keeps the instrumented build and its run quick enough for CI while keeping the stacks
  # readable. The option applies the flags to every target, including the libraries that the
  # programs load at run time (the reference ERP, the test modules).
  cmake -S . -B "$asan_build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DTQS_SANITIZE=ON
  cmake --build "$asan_build_dir" -j2
  took "sanitizer build"

  # Every report goes to a file as well as ending the process that made it, so that a report
  # from a child program whose exit status a test does not check still fails the run.
  logs="$(realpath "$asan_build_dir")/sanitizer-reports"
  rm -rf "$logs" && mkdir -p "$logs"
  asan_status=0
  ASAN_OPTIONS="log_path=$logs/asan:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1:abort_on_error=0" \
  UBSAN_OPTIONS="log_path=$logs/ubsan:print_stacktrace=1:halt_on_error=1" \
  LSAN_OPTIONS="suppressions=$(realpath scripts/lsan.supp)" \
    run_suite "$asan_build_dir" "Sanitizer suite: " || asan_status=$?
  reports=$(find "$logs" -type f | sort)
  if [ -n "$reports" ]; then
    for report in $reports; do echo "=== $report"; cat "$report"; done
    echo "Sanitizer suite (AddressSanitizer + UndefinedBehaviorSanitizer): FAILED," \
         "$(wc -l <<<"$reports") report(s) above"
    asan_status=1
  elif [ "$asan_status" -ne 0 ]; then
    echo "Sanitizer suite (AddressSanitizer + UndefinedBehaviorSanitizer): FAILED (test failures above)"
  else
    echo "Sanitizer suite (AddressSanitizer + UndefinedBehaviorSanitizer): ran and passed," \
         "no sanitizer reports ($asan_build_dir, SQLite and PostgreSQL backends)"
  fi
  [ "$asan_status" -eq 0 ] || status=1
  took "sanitizer suite"
fi

if [ "$fuzz" != 0 ]; then
  # A short run of every fuzz target from its seeds; scripts/fuzz.sh runs them longer.
  fuzz_seconds="${TQS_FUZZ_SECONDS:-3}"
  if FUZZ_SECONDS="$fuzz_seconds" bash scripts/fuzz.sh; then
    echo "Fuzz targets: each ran ${fuzz_seconds}s without a crash, leak or sanitizer report"
  else
    echo "Fuzz targets: FAILED (see above)"
    status=1
  fi
  took "fuzz build and runs"
fi

exit "$status"
