#!/usr/bin/env bash
# Keeps the examples of docs/web_tier_documents.md true. In a fresh demo installation it feeds
# every example request of docs/web_tier/examples/ to the JobSheet methods through the host
# (the command-line `call` and one HTTP `serve` round trip with the shared secret), runs the
# broker between upload and results, and checks that
#   - each example request is valid against its schema in docs/web_tier/schemas/ and accepted;
#   - each answer is byte for byte the example answer (a fresh demo installation answers the
#     same every time) and valid against its schema.
#   web_tier_examples_test.sh ADMIN_PROGRAM SOURCE_DIR WORK_DIR
set -euo pipefail

admin=$1
docs=$2/docs/web_tier
work=$3
examples=$docs/examples
schemas=$docs/schemas

failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
for tool in jq xmllint curl; do
  command -v "$tool" >/dev/null || { echo "FAILED: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

rm -rf "$work"
mkdir -p "$work"
dir=$work/installation
"$admin" install --demo "$dir" >/dev/null
dsn="Provider=SQLite;Data Source=$dir/data/server.db"
host=$dir/bin/TQSRemoteServerHost

# valid SCHEMA FILE...: each file is valid against docs/web_tier/schemas/SCHEMA.
valid() {
  local schema=$1 file
  shift
  for file in "$@"; do
    xmllint --noout --schema "$schemas/$schema" "$file" >/dev/null 2>"$work/xmllint.err" ||
      fail "$(basename "$file") is not valid against $schema: $(cat "$work/xmllint.err")"
  done
}

# call METHOD JSON: the host's JSON answer; a call that raised fails the check.
call() {
  local answer
  if ! answer=$(printf '%s' "$2" | "$host" call "$1"); then
    fail "$1 raised: $answer"
  fi
  printf '%s' "$answer"
}

# same NAME ANSWER_TEXT EXAMPLE: the answer is the example answer, byte for byte, and valid.
same() {
  local name=$1 text=$2 example=$examples/$3 schema=$4
  printf '%s\n' "$text" >"$work/$3"
  cmp -s "$work/$3" "$example" ||
    fail "$name answered otherwise than $3: $(diff <(xmllint --format "$example") <(xmllint --format "$work/$3") | head -20)"
  valid "$schema" "$work/$3"
}

# The requests a laptop sends are what the documents say.
valid outbox.xsd "$examples/outbox.xml"
valid processresultrequest.xsd "$examples/process_result_request.xml"
valid jobsheetrequest.xsd "$examples/job_sheet_request.xml"
valid recordids.xsd "$examples/record_ids_request.xml"
valid assignments.xsd "$examples/assignments.xml"

# 1. First download: the laptop holds nothing (an empty request).
answer=$(call getJobSheets "$(jq -n --arg d "$dsn" '{i_sLogin: "ada", i_sJobSheets: "", i_sDSNString: $d}')")
[ "$(jq -r .result <<<"$answer")" = true ] || fail "getJobSheets (empty request): $answer"
[ "$(jq -r .o_vErrorDetails <<<"$answer")" = "" ] || fail "getJobSheets left error details: $answer"
same "getJobSheets (empty request)" "$(jq -j .o_vJobSheets <<<"$answer")" job_sheets_response_new.xml jobsheets.xsd

# 2. Upload of the outbox.
answer=$(call StoreOutboxContent "$(jq -n --rawfile o "$examples/outbox.xml" --arg d "$dsn" \
  '{i_sOutboxContent: $o, i_sEmployee: "E001", i_sDSNString: $d}')")
[ "$(jq -r .result <<<"$answer")" = true ] || fail "StoreOutboxContent: $answer"
same StoreOutboxContent "$(jq -j .o_vResult <<<"$answer")" upload_feedback.xml uploadfeedback.xsd

# 3. The broker's pass, then the results of the three documents.
(cd "$dir/bin" && ./TQSRemoteBroker --once >"$work/broker.out" 2>&1) ||
  fail "the broker's pass failed: $(tail -5 "$work/broker.out")"
answer=$(call GetProcessResult "$(jq -n --rawfile r "$examples/process_result_request.xml" --arg d "$dsn" \
  '{i_sResultFor: $r, i_sEmployee: "E001", i_sDSNString: $d}')")
[ "$(jq -r .result <<<"$answer")" = true ] || fail "GetProcessResult: $answer"
same GetProcessResult "$(jq -j .o_vResult <<<"$answer")" process_results.xml processresults.xsd

# 4. Numbers: the server holds order 7, quotation 2, invoice 3 from an earlier synchronisation.
call UpdateLastUsedNumbersInServer "$(jq -n --arg d "$dsn" '{i_sLogin: "ada", i_sDSNString: $d,
  io_sXML: "<recordids><order>7</order><invoice>3</invoice><quotation>2</quotation></recordids>"}')" >/dev/null
answer=$(call UpdateLastUsedNumbersInServer "$(jq -n --rawfile x "$examples/record_ids_request.xml" --arg d "$dsn" \
  '{i_sLogin: "ada", i_sDSNString: $d, io_sXML: $x}')")
[ "$(jq -r .result <<<"$answer")" = null ] || fail "UpdateLastUsedNumbersInServer: $answer"
same UpdateLastUsedNumbersInServer "$(jq -j .io_sXML <<<"$answer")" record_ids_answer.xml recordids.xsd

# 5. Assignments.
answer=$(call updateAssignments "$(jq -n --rawfile a "$examples/assignments.xml" --arg d "$dsn" \
  '{i_sLogin: "ada", i_oAssignments: $a, i_sDSNString: $d}')")
[ "$(jq -r '"\(.result) \(.o_vErrorDetails)"' <<<"$answer")" = "true " ] || fail "updateAssignments: $answer"

# 6. Second download: the laptop tells what it holds.
answer=$(call getJobSheets "$(jq -n --rawfile j "$examples/job_sheet_request.xml" --arg d "$dsn" \
  '{i_sLogin: "ada", i_sJobSheets: $j, i_sDSNString: $d}')")
[ "$(jq -r .result <<<"$answer")" = true ] || fail "getJobSheets (held job sheets): $answer"
same "getJobSheets (held job sheets)" "$(jq -j .o_vJobSheets <<<"$answer")" job_sheets_response.xml jobsheets.xsd

# 7. Over HTTP as the README shows it: the secret as a bearer token, no connection string.
config=$dir/web/config/VarnexConfiguration.xml
secret=$(xmllint --xpath 'string(//SERVERHOST/add[@key="SharedSecret"]/@value)' "$config")
sed -i 's#key="Listen" value="[^"]*"#key="Listen" value="127.0.0.1:0"#' "$config"
"$host" serve 2>"$work/serve.err" &
serve_pid=$!
trap 'kill "$serve_pid" 2>/dev/null || true' EXIT
port=""
for _ in $(seq 100); do
  port=$(sed -n 's#.*serving JobSheet on http://[^:]*:\([0-9]*\).*#\1#p' "$work/serve.err")
  [ -n "$port" ] && break
  sleep 0.1
done
if [ -z "$port" ]; then
  fail "the HTTP host did not start: $(cat "$work/serve.err")"
else
  url=http://127.0.0.1:$port
  answer=$(jq -n --rawfile r "$examples/process_result_request.xml" '{i_sResultFor: $r, i_sEmployee: "E001"}' |
    curl -s -X POST -H "Authorization: Bearer $secret" -H 'Content-Type: application/json' \
      --data-binary @- "$url/JobSheet/GetProcessResult")
  same "POST /JobSheet/GetProcessResult" "$(jq -j .o_vResult <<<"$answer")" process_results.xml processresults.xsd
  status=$(curl -s -o /dev/null -w '%{http_code}' -X POST --data-binary '{}' "$url/JobSheet/GetProcessResult")
  [ "$status" = 401 ] || fail "a call without the secret was answered $status, not 401"
  [ "$(curl -s "$url/health" | jq -r .status)" = ok ] || fail "GET /health did not answer ok"
  kill "$serve_pid"
  wait "$serve_pid" || true
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "every example request was accepted and every example answer is what the server answers"
