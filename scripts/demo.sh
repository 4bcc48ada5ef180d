#!/usr/bin/env bash
# Runs the product end to end on the embedded default (SQLite): installs what is missing,
# builds, lays out a demo installation and walks the whole road of one field engineer:
# download, offline work, upload, the broker's pass, results, numbers, assignments, a second
# download and the client databases.
#   scripts/demo.sh [INSTALL_DIR]      (default: /tmp/tqsremote-demo, replaced on every run)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only the programs the road runs; scripts/test.sh builds and runs everything else.
cmake --build "$build_dir" -j2 --target TQSRemoteAdmin TQSRemoteServerHost TQSRemoteBroker \
  TQSRemoteCreateMasterData TQSReferenceErp

dir="${1:-/tmp/tqsremote-demo}"
case "$dir" in /*) ;; *) dir="$PWD/$dir" ;; esac
rm -rf "$dir"

step=0
heading() {
  step=$((step + 1))
  printf '\n==== %d. %s\n' "$step" "$*"
}
fail() {
  echo "DEMO FAILED: $*" >&2
  exit 1
}

heading "Installing the demo into $dir"
"$build_dir/bin/TQSRemoteAdmin" install --demo "$dir"
dsn="Provider=SQLite;Data Source=$dir/data/server.db"
host="$dir/bin/TQSRemoteServerHost"
login=ada
employee=E001
sqlite3 -header -column "$dir/data/server.db" "SELECT LOGN, EMNO, BUSCOMPONENT FROM USERDEFAULTS"

# call METHOD JSON: one JobSheet call through the host; the answer goes to stdout.
call() {
  local answer
  if ! answer=$(printf '%s' "$2" | "$host" call "$1"); then
    echo "$answer" >&2
    fail "$1 failed"
  fi
  printf '%s' "$answer"
}

# Order ids of one section (new, append = additions, cancellations) of a job sheets response.
order_ids() {
  sed -n "s#.*<$2>\(.*\)</$2>.*#\1#p" <<<"$1" | grep -o "<serviceorder id='[^']*'" |
    sed "s/.*id='\([^']*\)'/\1/" | paste -sd' ' - || true
}
# Fails unless a getJobSheets answer succeeded.
downloaded() {
  [ "$(jq -r .result <<<"$1")" = true ] || fail "getJobSheets failed: $(jq -r .o_vErrorDetails <<<"$1")"
}
show_download() {
  local response=$1 section ids
  for section in new append cancellations; do
    ids=$(order_ids "$response" "$section")
    printf '  %-14s %d job sheet(s): %s\n' "$section" "$(wc -w <<<"$ids")" "${ids:--}"
  done
}

heading "$login ($employee) downloads her job sheets (getJobSheets, empty request)"
answer=$(call getJobSheets "$(jq -n --arg l "$login" --arg d "$dsn" \
  '{i_sLogin: $l, i_sJobSheets: "", i_sDSNString: $d}')")
downloaded "$answer"
first_download=$(jq -r .o_vJobSheets <<<"$answer")
show_download "$first_download"
grep -q "<serviceorder id='SO1002'" <<<"$first_download" || fail "SO1002 was not downloaded"

heading "Offline work on SO1002: activity 10 completed, a material line added, an hours line booked, an inspection recorded"
stamp=$(date -u +%Y%m%dT%H%M%S)
outbox=$(
  cat <<EOF
<businessdocuments>
 <jobsheets>
  <item interactionon='$stamp' id='SO1002_0'><jobsheet>
   <serviceorder id='SO1002' origin='ERP' actionsperformed='' invoiceid=''>
    <details><osta>Planned</osta><emno>$employee</emno></details>
    <activities>
     <activity id='10' origin='ERP' actionsperformed='RDC'>
      <details><astm>2026-03-10 09:05:00</astm><aftm>2026-03-10 12:40:00</aftm>
       <txtb>Cooling serviced; the filter was clogged and is replaced.</txtb></details>
      <materials>
       <material lineid='N1' origin='LAP'><item>FLT-02</item><adqt>1</adqt><cuqs>pcs</cuqs><awrh>NORTH</awrh></material>
      </materials>
      <labors>
       <labor lineid='1' origin='ERP'><ctsk>MAIN</ctsk><chlt>NORMAL</chlt><acqt>3.5</acqt></labor>
      </labors>
     </activity>
    </activities>
   </serviceorder>
  </jobsheet></item>
 </jobsheets>
 <generalhours>
  <hour interactionon='$stamp' lineid='H1'><ctsk>TRAV</ctsk><chlt>NORMAL</chlt><rgdt>20260310</rgdt><sptm>1.5</sptm></hour>
 </generalhours>
 <SERVICEINSPECTIONS>
  <SERVICEINSPECTION>
   <DOCINFO><INTERACTIONON>$stamp</INTERACTIONON></DOCINFO>
   <ATTRIBUTES><ID>SI1</ID><CCFG>MC-2026-014</CCFG><CROB>CMP-10</CROB><OSEQ>2</OSEQ><CSER>SN-4471</CSER></ATTRIBUTES>
   <INSPECTIONS>
    <INSPECTION><ATTRIBUTES><CMEA>TEMP</CMEA><MSEQ>1</MSEQ><RGTM>20260310</RGTM><MIVL>3.5</MIVL></ATTRIBUTES></INSPECTION>
    <INSPECTION><ATTRIBUTES><CMEA>PRESSURE</CMEA><MSEQ>2</MSEQ><RGTM>20260310</RGTM><MIVL>11.2</MIVL></ATTRIBUTES></INSPECTION>
   </INSPECTIONS>
  </SERVICEINSPECTION>
 </SERVICEINSPECTIONS>
</businessdocuments>
EOF
)
echo "  outbox: 1 job sheet (SO1002), 1 hours line (H1), 1 service inspection (SI1), interaction stamp $stamp"

# The upload's rows: document type, document, interaction number, status.
rows_query="SELECT BUSINESSDOCUMENTTYPE AS type, BUSINESSDOCUMENTID AS document, INTERACTIONID AS id,
  INTERACTIONSTATUS AS status, PROCESSEDON AS processed FROM CLIENTSERVERINTERACTION
  WHERE EMPLOYEEID = '$employee' ORDER BY INTERACTIONKEY"

heading "Upload of the outbox (StoreOutboxContent)"
answer=$(call StoreOutboxContent "$(jq -n --arg o "$outbox" --arg e "$employee" --arg d "$dsn" \
  '{i_sOutboxContent: $o, i_sEmployee: $e, i_sDSNString: $d}')")
feedback=$(jq -r .o_vResult <<<"$answer")
echo "  result: $(jq -r .result <<<"$answer")"
echo "  feedback per document:"
grep -o "<[a-zA-Z]* [^>]*interactionid=[^>]*>" <<<"$feedback" | sed 's/^/    /'
uploaded=$(grep -o "interactionid=" <<<"$feedback" | wc -l)
[ "$uploaded" -eq 3 ] || fail "the feedback names $uploaded documents, not 3: $feedback"
echo "  rows waiting for the broker:"
sqlite3 -header -column "$dir/data/server.db" \
  "$rows_query" |
  sed 's/^/    /'

heading "The broker's unattended pass (cd bin && ./TQSRemoteBroker)"
(cd "$dir/bin" && ./TQSRemoteBroker) | sed -e '/^[[:space:]]*$/d' -e 's/^/  | /' || fail "the broker's pass failed (see $dir/bin/CriticalErrorlog.txt)"
echo "  rows after the pass:"
sqlite3 -header -column "$dir/data/server.db" "$rows_query" | sed 's/^/    /'

heading "The laptop collects the results (GetProcessResult with the interaction numbers of the feedback)"
# The feedback names every document by its interaction stamp and number: the request asks for
# the same documents in the same sections.
result_for=$(sed -e 's#<uploadfeedback#<processresultrequest#' -e 's#</uploadfeedback>#</processresultrequest>#' \
  -e 's#<uploadfeedback/>#<processresultrequest/>#' <<<"$feedback")
answer=$(call GetProcessResult "$(jq -n --arg r "$result_for" --arg e "$employee" --arg d "$dsn" \
  '{i_sResultFor: $r, i_sEmployee: $e, i_sDSNString: $d}')")
results=$(jq -r .o_vResult <<<"$answer")
echo "  job sheet SO1002 (order, activity and line results; new= is the ERP's line number):"
grep -o "<\(serviceorder\|activity\|material\|labor\|other\|inspection\|payment\) [^>]*>" <<<"$results" |
  sed 's/^/    /'
echo "  hours line:"
grep -o "<hour [^>]*>" <<<"$results" | sed 's/^/    /'
echo "  service inspection:"
sed -n 's#.*<SERVICEINSPECTIONS>\(.*\)</SERVICEINSPECTIONS>.*#\1#p' <<<"$results" | sed 's/^/    /'
grep -q "<material [^>]*lineid=.N1.[^>]*new=.[0-9]" <<<"$results" ||
  fail "the job sheet result names no new line number for material N1: $results"
grep -q "<hour [^>]*new=.[0-9]" <<<"$results" || fail "the hours result names no new line number: $results"

heading "Numbers reconciled (UpdateLastUsedNumbersInServer)"
answer=$(call UpdateLastUsedNumbersInServer "$(jq -n --arg l "$login" --arg d "$dsn" \
  '{i_sLogin: $l, i_sDSNString: $d, io_sXML: "<recordids><order>7</order><invoice>3</invoice><quotation>2</quotation></recordids>"}')")
echo "  laptop sent:   <recordids><order>7</order><invoice>3</invoice><quotation>2</quotation></recordids>"
echo "  answer:        $(jq -r .io_sXML <<<"$answer")"
sqlite3 -header -column "$dir/data/server.db" \
  "SELECT LOGN, LASTJSID, LASTQUOTEID, LASTINVOICEID FROM USERDEFAULTS WHERE LOGN = '$login'" | sed 's/^/    /'

heading "Assignments sent (updateAssignments): SO1001 activity 20 accepted"
assignments="<assignments><serviceorder id='SO1001'><activity id='20' ataken='ACC' don='20260309' aon='20260309'/></serviceorder></assignments>"
answer=$(call updateAssignments "$(jq -n --arg l "$login" --arg a "$assignments" --arg d "$dsn" \
  '{i_sLogin: $l, i_oAssignments: $a, i_sDSNString: $d}')")
echo "  sent:   $assignments"
jq -r '"  result: \(.result)  errors: \(if (.o_vErrorDetails // "") == "" then "none" else .o_vErrorDetails end)"' <<<"$answer"
[ "$(jq -r .result <<<"$answer")" = true ] || fail "updateAssignments was refused: $answer"
echo "  actions the ERP stored:"
sqlite3 -header -column "$dir/erp/erp.db" "SELECT * FROM assignment_actions" | sed 's/^/    /'

heading "$login downloads again, telling what she holds now"
# What the laptop holds now: both orders with their activities and lines, SO1002 with the
# material line the ERP numbered.
new_line=$(grep -o "<material [^>]*lineid=.N1.[^>]*>" <<<"$results" | sed "s/.* new='\([^']*\)'.*/\1/")
held=$(
  cat <<EOF
<jobsheets>
 <serviceorder id='SO1001'><activities>
  <activity id='10'><materials><material lineid='1'/></materials><labors><labor lineid='2'/></labors>
   <inspections><inspection lineid='1'/><inspection lineid='2'/></inspections></activity>
  <activity id='20'><materials><material lineid='3'/></materials><others><other lineid='4'/></others></activity>
 </activities></serviceorder>
 <serviceorder id='SO1002'><activities>
  <activity id='10'><materials><material lineid='$new_line'/></materials><labors><labor lineid='1'/></labors></activity>
 </activities></serviceorder>
</jobsheets>
EOF
)
echo "  she holds: SO1001 (activities 10, 20) and SO1002 (activity 10 completed, material line $new_line)"
answer=$(call getJobSheets "$(jq -n --arg l "$login" --arg j "$held" --arg d "$dsn" \
  '{i_sLogin: $l, i_sJobSheets: $j, i_sDSNString: $d}')")
downloaded "$answer"
second_download=$(jq -r .o_vJobSheets <<<"$answer")
show_download "$second_download"
if grep -q "SO1002" <<<"$(order_ids "$second_download" new)"; then
  fail "the completed work on SO1002 is offered as new again"
fi
echo "  SO1002 is not offered as new: the completed work stays done"
answer=$(call getJobSheets "$(jq -n --arg l "$login" --arg d "$dsn" \
  '{i_sLogin: $l, i_sJobSheets: "", i_sDSNString: $d}')")
downloaded "$answer"
echo "  a laptop holding nothing would now get:"
show_download "$(jq -r .o_vJobSheets <<<"$answer")"
if grep -q "SO1002" <<<"$(order_ids "$(jq -r .o_vJobSheets <<<"$answer")" new)"; then
  fail "SO1002, completed, is still offered to a laptop that holds nothing"
fi

heading "Client databases (TQSRemoteCreateMasterData --run --recreate)"
(cd "$dir/bin" && ./TQSRemoteCreateMasterData --run --recreate) | tail -n 8 | sed 's/^/  | /'
echo "  produced files:"
(cd "$dir/web/Varnex/EndUser/MasterData" && find . -type f -printf '    %P  (%s bytes)\n' | sort)
[ -n "$(find "$dir/web/Varnex/EndUser/MasterData" -name '*.exe')" ] || fail "no client database was packed"

heading "Check: every uploaded row is at status 10"
not_done=$(sqlite3 "$dir/data/server.db" \
  "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE INTERACTIONSTATUS <> 10")
all=$(sqlite3 "$dir/data/server.db" "SELECT COUNT(*) FROM CLIENTSERVERINTERACTION")
sqlite3 -header -column "$dir/data/server.db" "$rows_query" | sed 's/^/    /'
[ "$all" -eq 3 ] || fail "the server database holds $all uploaded rows, not 3"
[ "$not_done" -eq 0 ] || fail "$not_done of $all uploaded rows are not at status 10"
echo "  all $all uploaded rows are at status 10: the road is complete ($dir)"
