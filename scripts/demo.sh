#!/usr/bin/env bash
# Runs the product end to end on the embedded default (SQLite): installs what is missing,
# builds, lays out an installation and shows what it holds.
#   scripts/demo.sh [INSTALL_DIR]      (default: /tmp/tqsremote-demo, replaced on every run)
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
build_dir="${BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j2

dir="${1:-/tmp/tqsremote-demo}"
rm -rf "$dir"
echo "== Installing into $dir"
"$build_dir/bin/TQSRemoteAdmin" install "$dir"
dsn="Provider=SQLite;Data Source=$dir/data/server.db"
"$build_dir/bin/TQSRemoteAdmin" add-user --dsn "$dsn" --login jdoe --employee 1001 --bus-component SERVICE01

echo "== Tables of the server database"
sqlite3 "$dir/data/server.db" ".tables"
echo "== Settings"
sqlite3 -header -column "$dir/data/server.db" "SELECT PARAMNAME, PARAMVALUE FROM PARAMETERS"
echo "== Users"
sqlite3 -header -column "$dir/data/server.db" "SELECT LOGN, EMNO, BUSCOMPONENT FROM USERDEFAULTS"
echo "== Broker status texts (English)"
sqlite3 -header -column "$dir/data/server.db" \
  "SELECT LABEL, TEXT FROM I18NText WHERE LOCALEID = 1033 AND LABEL BETWEEN 'SLKRU0500' AND 'SLKRU0517' ORDER BY LABEL"
echo "== Installation layout"
find "$dir" -maxdepth 3 | sort
