#!/usr/bin/env bash
# Runs a command against a throwaway PostgreSQL cluster that lives only as long as the command:
#   scripts/with-postgres.sh COMMAND [ARGS...]
# Installs PostgreSQL from Debian's packages when it is missing, creates a cluster in a fresh
# temporary folder (listening only on a Unix socket in that folder, so it never clashes with
# another server or another run), creates the database tqs_test, exports
#   TQS_TEST_POSTGRES_DSN="Provider=PostgreSQL;Host=<folder>;Port=5432;Database=tqs_test;User ID=tqs"
#   TQS_TEST_POSTGRES_PASSWORD_DSN  the same database as a role that must give its password
# runs the command, and at exit stops the cluster and removes the folder, also when the command
# fails or the script is interrupted. The command's exit status is the script's.
# When TQS_TEST_POSTGRES_DSN is already set, the command runs against that server instead.
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
fi

if [ -n "${TQS_TEST_POSTGRES_DSN:-}" ]; then
  echo "with-postgres: using the given server ($TQS_TEST_POSTGRES_DSN)"
  exec "$@"
fi

pg_bin() { ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1; }

if [ -z "$(pg_bin)" ] || [ ! -x "$(pg_bin)/initdb" ]; then
  echo "with-postgres: installing postgresql"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq postgresql
fi
bin="$(pg_bin)"

# initdb refuses to run as root: the cluster then belongs to the postgres system user, which
# the Debian package creates.
as_owner=()
if [ "$(id -u)" -eq 0 ]; then
  as_owner=(runuser -u postgres --)
fi

folder="$(mktemp -d /tmp/tqs-pg.XXXXXX)"
port=5432
started=0
cleanup() {
  if [ "$started" -eq 1 ]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$folder/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$folder"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

[ ${#as_owner[@]} -gt 0 ] && chown postgres "$folder"
chmod 700 "$folder"

"${as_owner[@]}" "$bin/initdb" -D "$folder/data" -U tqs --auth=trust -E UTF8 --no-locale \
  >"$folder/initdb.log" 2>&1 || { cat "$folder/initdb.log" >&2; exit 1; }

# The role tqs_secret must give its password (the others are trusted on the socket), so that
# the tests can see a wrong password refused.
hba="$folder/data/pg_hba.conf"
{ echo "local all tqs_secret scram-sha-256"; cat "$hba"; } >"$hba.new" && mv "$hba.new" "$hba"
[ ${#as_owner[@]} -gt 0 ] && chown postgres "$hba"

# A throwaway cluster: durability settings off for speed, enough connections for parallel tests.
"${as_owner[@]}" "$bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w -t 60 start \
  -o "-k $folder -p $port -c listen_addresses='' -c fsync=off -c synchronous_commit=off \
      -c full_page_writes=off -c max_connections=300" >/dev/null \
  || { cat "$folder/server.log" >&2; exit 1; }
started=1

"$bin/createdb" -h "$folder" -p "$port" -U tqs tqs_test
"$bin/psql" -q -h "$folder" -p "$port" -U tqs -d tqs_test \
  -c "CREATE ROLE tqs_secret LOGIN PASSWORD 'secret'"

export TQS_TEST_POSTGRES_DSN="Provider=PostgreSQL;Host=$folder;Port=$port;Database=tqs_test;User ID=tqs"
export TQS_TEST_POSTGRES_PASSWORD_DSN="$TQS_TEST_POSTGRES_DSN;User ID=tqs_secret;Password=secret"
echo "with-postgres: PostgreSQL $("$bin/postgres" --version | awk '{print $3}') at $folder (TQS_TEST_POSTGRES_DSN set)"

status=0
"$@" || status=$?
exit "$status"
