#!/usr/bin/env bash
# The operator console in a real browser: the system's headless Chromium, driven by
# playwright-core (installed into tests/console/node_modules by `npm ci`, never downloading a
# browser), against the HTTP host of a fresh demo installation.
#   console_browser_test.sh ADMIN_PROGRAM SOURCE_DIR WORK_DIR SCREENSHOT_DIR
# The installation gets documents that wait for an operator: the outbox example of the web
# tier documents for E001 and one for E002 whose hours line carries a <script> element, all
# failing three broker passes while no ERP is registered; then the ERP comes back (registered
# without idempotency keys, so a document in doubt waits for the operator) and E001's hours
# line is left in doubt, as by a broker killed during the ERP call. The browser script
# (console_browser_test.mjs) logs in, finds and opens the documents, requeues, runs a broker
# pass and checks the outcome, and saves screenshots in SCREENSHOT_DIR.
# Exit status 77 (skipped) when Chromium, node or node_modules are missing, unless
# TQS_REQUIRE_BROWSER_TESTS=1 (the test command sets it): then that is a failure.
set -euo pipefail

admin=$(realpath "$1")
source_dir=$(realpath "$2")
work=$(realpath -m "$3")
screenshots=$(realpath -m "$4")
here=$source_dir/tests/console
chromium=${TQS_CHROMIUM:-/usr/bin/chromium}

missing() {
  if [ "${TQS_REQUIRE_BROWSER_TESTS:-0}" = 1 ]; then
    echo "FAILED: $1" >&2
    exit 1
  fi
  echo "SKIPPED: $1" >&2
  exit 77
}
[ -x "$chromium" ] || missing "$chromium is missing (scripts/install-deps.sh installs chromium)"
command -v node >/dev/null || missing "node is missing"
[ -d "$here/node_modules/playwright-core" ] ||
  missing "$here/node_modules lacks playwright-core (run: npm ci --prefix $here)"
for tool in sqlite3 jq; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing" >&2; exit 1; }
done

rm -rf "$work" "$screenshots"
mkdir -p "$work" "$screenshots"
dir=$work/installation
"$admin" install --demo "$dir" >/dev/null
database=$dir/data/server.db
dsn="Provider=SQLite;Data Source=$database"
host=$dir/bin/TQSRemoteServerHost
secret="operator secret for the browser test"
printf '%s\n' "$secret" | "$admin" console-secret "$dir" >/dev/null
sed -i 's#<add key="Listen" value="[^"]*"#<add key="Listen" value="127.0.0.1:0"#' \
  "$dir/web/config/VarnexConfiguration.xml"

upload() {  # upload EMPLOYEE OUTBOX_FILE
  jq -n --rawfile o "$2" --arg e "$1" --arg d "$dsn" \
    '{i_sOutboxContent: $o, i_sEmployee: $e, i_sDSNString: $d}' |
    "$host" call StoreOutboxContent | jq -e '.result == true' >/dev/null ||
    { echo "FAILED: the upload for $1 was refused" >&2; exit 1; }
}
upload E001 "$source_dir/docs/web_tier/examples/outbox.xml"
cat >"$work/hostile_outbox.xml" <<'XML'
<businessdocuments><generalhours>
<hour interactionon='20260311T080000' lineid='H7'><ctsk>TRAV</ctsk><chlt>NORMAL</chlt><rgdt>20260311</rgdt><sptm>0.5</sptm><remark><script>window.__pwned = 1</script></remark></hour>
</generalhours></businessdocuments>
XML
upload E002 "$work/hostile_outbox.xml"

# Three passes while no ERP is registered: every document fails three times.
registry=$dir/bin/TQSRemoteComponents.xml
mv "$registry" "$work/components.xml"
echo '<components/>' >"$registry"
for pass in 1 2 3; do
  (cd "$dir/bin" && ./TQSRemoteBroker --once >"$work/broker-no-erp-$pass.out" 2>&1) || true
done
# The ERP is back, registered as one that cannot recognise a document sent twice.
sed 's/idempotencyKeys="true"/idempotencyKeys="false"/g' "$work/components.xml" >"$registry"
# E001's hours line: a broker killed during its ERP call left it in doubt.
sqlite3 "$database" "UPDATE CLIENTSERVERINTERACTION SET ATTEMPTOPEN = 1 \
  WHERE EMPLOYEEID = 'E001' AND BUSINESSDOCUMENTTYPE = 10"

"$host" serve 2>"$work/serve.err" &
serve_pid=$!
trap 'kill "$serve_pid" 2>/dev/null || true' EXIT
port=
for _ in $(seq 1 100); do
  port=$(sed -n 's#.*serving JobSheet on http://[^:]*:\([0-9]*\).*#\1#p' "$work/serve.err")
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "FAILED: the HTTP host did not start: $(cat "$work/serve.err")" >&2; exit 1; }

status=0
CONSOLE_URL="http://127.0.0.1:$port" CONSOLE_SECRET="$secret" CHROMIUM="$chromium" \
  INSTALLATION="$dir" SCREENSHOTS="$screenshots" BROWSER_PROFILE="$work/profile" \
  node "$here/console_browser_test.mjs" || status=$?
kill "$serve_pid"
wait "$serve_pid" || true
trap - EXIT
echo "--- audit log ($dir/data/console-audit.log)"
cat "$dir/data/console-audit.log" || true
if [ "$status" -ne 0 ]; then
  echo "--- host's log"
  tail -40 "$work/serve.err"
fi
exit "$status"
