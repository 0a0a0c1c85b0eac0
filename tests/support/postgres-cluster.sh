#!/usr/bin/env bash
# A private PostgreSQL cluster for the tests' server backend.
#   postgres-cluster.sh start <dir> <schema.sql> [durable]
#   postgres-cluster.sh stop <dir>
#   postgres-cluster.sh check      prints why no cluster can run here, if so
# start makes a cluster in a fresh folder below the system's temporary
# folder, listening only on a socket there, with a template database
# "quandor_template" that holds the six tables; each test process copies it
# into a database of its own. <dir> (in the build folder) only records where
# the cluster is: <dir>/cluster its folder, <dir>/socket the socket's folder.
# stop ends the server and removes both. "durable" runs the server as a
# site would (every commit flushed to disk), for benchmarks; the tests run
# without it.
#
# The server refuses to run as root, so under root it runs as the user
# "postgres" that the package creates. That user may not be able to enter the
# build folder (a clone in root's private home), which is why the cluster
# lives below the temporary folder, owned by the user that runs it.
#
# Where no cluster can run at all (PostgreSQL or its ODBC driver missing, root
# without a "postgres" user), start records the reason in <dir>/unavailable
# and succeeds; the server tests then skip with that reason.
set -euo pipefail

# QUANDOR_PG_BINDIR names another installation's programs (or none).
bindir=${QUANDOR_PG_BINDIR:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
odbc_driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so
tmp=${TMPDIR:-/tmp}

# Why no cluster can run here; nothing when one can.
unavailable() {
  if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ] || [ ! -x "$bindir/pg_ctl" ]; then
    echo "PostgreSQL's initdb is not installed (package postgresql; scripts/quandor setup installs it)"
  elif [ ! -e "$odbc_driver" ]; then
    echo "the PostgreSQL ODBC driver $odbc_driver is not installed (package odbc-postgresql)"
  elif [ "$(id -u)" -eq 0 ] && ! id -u postgres >/dev/null 2>&1; then
    echo "the server does not run as root, and there is no user \"postgres\" to run it"
  elif [ "$(id -u)" -eq 0 ] && ! command -v runuser >/dev/null 2>&1; then
    echo "the server does not run as root, and runuser is missing to run it as \"postgres\""
  fi
}

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    # From a folder that user may enter, whatever the caller's folder is.
    (cd / && runuser -u postgres -- "$@")
  else
    "$@"
  fi
}

stop() {
  local dir=$1
  if [ -f "$dir/cluster" ]; then
    local cluster
    cluster=$(cat "$dir/cluster")
    if [ -f "$cluster/data/postmaster.pid" ]; then
      as_owner "$bindir/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    # Only a folder this script made is removed, whatever the record says.
    case "$cluster" in
      */quandor-pg.*) rm -rf "$cluster" ;;
    esac
  fi
  rm -rf "$dir"
}

start() {
  local dir=$1 schema=$2 mode=${3:-}
  stop "$dir"
  mkdir -p "$dir"
  local reason
  reason=$(unavailable)
  if [ -n "$reason" ]; then
    echo "$reason" >"$dir/unavailable"
    echo "The PostgreSQL server tests are skipped: $reason"
    exit 0
  fi
  local cluster socket
  cluster=$(mktemp -d "$tmp/quandor-pg.XXXXXX")
  echo "$cluster" >"$dir/cluster"
  socket=$cluster/socket
  mkdir "$socket"
  if [ "$(id -u)" -eq 0 ]; then
    chown -R postgres: "$cluster"
  fi
  # The test processes (the caller's user) reach the socket; only the
  # cluster's user reaches its data (initdb makes that folder private).
  chmod 755 "$cluster"
  chmod 777 "$socket"
  as_owner "$bindir/initdb" -D "$cluster/data" -U quandor --auth=trust -N -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
    || { cat "$dir/initdb.log" >&2; exit 1; }
  # Durability is no concern of a test cluster; speed is. A benchmark
  # measures the server with the settings it ships with.
  local durability="-c fsync=off -c synchronous_commit=off -c full_page_writes=off -c shared_buffers=32MB"
  [ "$mode" = durable ] && durability="-c fsync=on -c synchronous_commit=on -c full_page_writes=on"
  as_owner "$bindir/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -t 60 \
    -o "-k $socket -c listen_addresses= $durability -c max_connections=300" \
    start >/dev/null \
    || { cat "$cluster/server.log" >&2; exit 1; }
  echo "$socket" >"$dir/socket"
  "$bindir/psql" -h "$socket" -U quandor -d postgres -qAt -v ON_ERROR_STOP=1 \
    -c "CREATE DATABASE quandor_template" >/dev/null
  "$bindir/psql" -h "$socket" -U quandor -d quandor_template -qAt -v ON_ERROR_STOP=1 -f "$schema" >/dev/null
  echo "PostgreSQL test cluster in $cluster"
}

case "${1:-}" in
  start) start "$2" "$3" "${4:-}" ;;
  stop) stop "$2" ;;
  check)
    reason=$(unavailable)
    [ -z "$reason" ] || { echo "$reason"; exit 1; } ;;
  *) sed -n '2,5p' "$0"; exit 2 ;;
esac
