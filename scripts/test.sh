#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through CTest, against both
# server database backends: SQLite, and a throwaway PostgreSQL server that scripts/with-postgres.sh
# starts for the run and removes afterwards.
#   scripts/test.sh            build in ./build and run all tests
#   BUILD_DIR=... scripts/test.sh
#   TQS_TEST_POSTGRES_DSN=... scripts/test.sh    use that PostgreSQL test database instead
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build_dir" -j2

junit="$(realpath "$build_dir")/Testing/ctest-results.xml"
rm -f "$junit"
status=0
bash scripts/with-postgres.sh \
  ctest --test-dir "$build_dir" --output-on-failure -j2 --output-junit "$junit" || status=$?

# The cases that need the PostgreSQL server, and what became of them, so that a run that
# skipped them shows at once.
if [ -f "$junit" ]; then
  cases=$(grep -oE '<testcase name="([^"]*/PostgreSQL|PostgresServerTest)[^"]*"[^>]*status="[a-z]*"' \
            "$junit" || true)
  count() { if [ -z "$cases" ]; then echo 0; else grep -c "status=\"$1\"" <<<"$cases" || true; fi; }
  echo "PostgreSQL backend: $(count run) test cases ran, $(count fail) failed," \
       "$(count notrun) skipped (${TQS_TEST_POSTGRES_DSN:-throwaway server from scripts/with-postgres.sh})"
fi
exit "$status"
