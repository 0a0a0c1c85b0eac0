#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests' server backend.
#   postgres-cluster.sh start <dir> <schema.sql> [durable]
#   postgres-cluster.sh stop <dir>
# start makes a cluster in <dir>/data that listens only on a socket in a
# fresh folder below /tmp (its path is written to <dir>/socket), with a
# template database "quandor_template" that holds the six tables; each test
# process copies it into a database of its own. stop ends the server and
# removes both folders. "durable" runs the server as a site would (every
# commit flushed to disk), for benchmarks; the tests run without it. The server refuses to run as root, so under root it
# runs as the user "postgres" that the package creates.
set -euo pipefail

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "PostgreSQL is not installed (scripts/quandor setup installs it)" >&2
  exit 1
fi

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

stop() {
  local dir=$1
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  if [ -f "$dir/socket" ]; then
    rm -rf "$(cat "$dir/socket")"
  fi
  rm -rf "$dir"
}

start() {
  local dir=$1 schema=$2 mode=${3:-}
  stop "$dir"
  mkdir -p "$dir"
  local socket
  socket=$(mktemp -d /tmp/quandor-pg.XXXXXX)
  if [ "$(id -u)" -eq 0 ]; then
    chown postgres: "$dir" "$socket"
    chmod 755 "$dir"
  fi
  as_owner "$bindir/initdb" -D "$dir/data" -U quandor --auth=trust -N -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; exit 1; }
  # Durability is no concern of a test cluster; speed is. A benchmark
  # measures the server with the settings it ships with.
  local durability="-c fsync=off -c synchronous_commit=off -c full_page_writes=off -c shared_buffers=32MB"
  [ "$mode" = durable ] && durability="-c fsync=on -c synchronous_commit=on -c full_page_writes=on"
  as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
    -o "-k $socket -c listen_addresses= $durability -c max_connections=300" \
    start >/dev/null \
    || { cat "$dir/server.log" >&2; exit 1; }
  chmod 777 "$socket"
  echo "$socket" >"$dir/socket"
  "$bindir/psql" -h "$socket" -U quandor -d postgres -qAt -v ON_ERROR_STOP=1 \
    -c "CREATE DATABASE quandor_template" >/dev/null
  "$bindir/psql" -h "$socket" -U quandor -d quandor_template -qAt -v ON_ERROR_STOP=1 -f "$schema" >/dev/null
  echo "PostgreSQL test cluster on $socket"
}

case "${1:-}" in
  start) start "$2" "$3" "${4:-}" ;;
  stop) stop "$2" ;;
  *) sed -n '2,4p' "$0"; exit 2 ;;
esac
