#!/usr/bin/env bash
# Checks the systemd units of the package with systemd-analyze verify, filled in for an
# installation that TQSRemoteAdmin lays out in a temporary folder (verify needs the programs
# that ExecStart names). Exit status 77 (skipped) when systemd-analyze is not installed.
#   verify_units.sh ADMIN_PROGRAM UNIT_SOURCE_FOLDER WORK_FOLDER
set -euo pipefail
admin="$1" units="$2" work="$3"

if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed: the units are not checked"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/units"
"$admin" install "$work/installation" >/dev/null
count=0
for unit in "$units"/tqsremote-*.service "$units"/tqsremote-*.timer; do
  sed "s|@TQS_INSTALL_STATE_DIR@|$work/installation|g" "$unit" >"$work/units/$(basename "$unit")"
  count=$((count + 1))
done
[ "$count" -eq 5 ] || { echo "expected 5 units, found $count"; exit 1; }
# Each service runs a program that the installation holds.
for service in "$work"/units/*.service; do
  program=$(sed -n 's/^ExecStart=\([^ ]*\).*/\1/p' "$service")
  [ -x "$program" ] || { echo "$(basename "$service"): $program is not a program of the installation"; exit 1; }
done
# verify prints its findings and exits non-zero on errors; warnings are failures here too.
output=$(SYSTEMD_LOG_LEVEL=warning systemd-analyze verify "$work"/units/* 2>&1) || {
  echo "$output"
  exit 1
}
if [ -n "$output" ]; then
  echo "$output"
  exit 1
fi
echo "systemd-analyze verify accepts the $count units"
rm -rf "$work"
