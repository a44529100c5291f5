#!/usr/bin/env bash
# A PostgreSQL server of the site tests' own: a fresh cluster in a folder of its own, on a free
# port of 127.0.0.1 and a socket folder of its own, so that it meets no other server on the
# machine. The server runs as the user `postgres` when started by root (CI), as the caller
# otherwise.
#
#   pg_server.sh start STATE   make and start one; STATE (a file) gets what the tests need
#   pg_server.sh halt STATE    stop it, keeping its data (a server that goes away mid-push)
#   pg_server.sh resume STATE  start it again on the same port, unless it runs
#   pg_server.sh stop STATE    stop it and remove everything it had
#   pg_server.sh grant STATE TABLE   the login ombrix_limited (the same password) may read and add
#                              rows of TABLE, and create nothing
set -euo pipefail
command=$1
state=$2
table=${3:-}

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[ -x "$bin/pg_ctl" ] || { echo "pg_server.sh: PostgreSQL is not installed (scripts/setup.sh)" >&2; exit 1; }

as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

pg_ctl_on() {  # DATA PORT ACTION...
  local data=$1 port=$2
  shift 2
  as_server "$bin/pg_ctl" -D "$data/cluster" -l "$data/server.log" -w -t 60 \
    -o "-p $port -k $data -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=40" "$@"
}

case $command in
  start)
    [ ! -f "$state" ] || "$0" stop "$state"
    # /tmp, which the server's user may write whatever owns the build tree.
    data=$(mktemp -d /tmp/ombrix-site-test.XXXXXX)
    chmod 755 "$data"
    [ "$(id -u)" -ne 0 ] || chown postgres "$data"
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    password=site-$RANDOM$RANDOM
    echo "$password" > "$data/password"
    [ "$(id -u)" -ne 0 ] || chown postgres "$data/password"
    as_server "$bin/initdb" -D "$data/cluster" -U ombrix --pwfile="$data/password" \
      --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$data/initdb.log"
    pg_ctl_on "$data" "$port" start >/dev/null
    as_server "$bin/createdb" -h "$data" -p "$port" -U ombrix ombrix_site
    {
      echo "OMBRIX_TEST_SITE_DATA=$data"
      echo "OMBRIX_TEST_SITE_PORT=$port"
      echo "OMBRIX_TEST_SITE_PASSWORD=$password"
      echo "OMBRIX_TEST_SITE=Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=$port;Database=ombrix_site;Uid=ombrix;Pwd=$password"
    } >"$state"
    echo "PostgreSQL on 127.0.0.1:$port, data in $data"
    ;;
  grant)
    data=$(sed -n 's/^OMBRIX_TEST_SITE_DATA=//p' "$state")
    port=$(sed -n 's/^OMBRIX_TEST_SITE_PORT=//p' "$state")
    password=$(sed -n 's/^OMBRIX_TEST_SITE_PASSWORD=//p' "$state")
    as_server "$bin/psql" -h "$data" -p "$port" -U ombrix -d ombrix_site -q -v ON_ERROR_STOP=1 -c "
      DO \$\$BEGIN
        IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'ombrix_limited') THEN
          CREATE ROLE ombrix_limited LOGIN PASSWORD '$password';
        END IF;
      END\$\$;
      REVOKE CREATE ON SCHEMA public FROM PUBLIC;
      GRANT SELECT, INSERT ON $table TO ombrix_limited;" >/dev/null
    ;;
  halt | resume | stop)
    [ -f "$state" ] || exit 0
    data=$(sed -n 's/^OMBRIX_TEST_SITE_DATA=//p' "$state")
    port=$(sed -n 's/^OMBRIX_TEST_SITE_PORT=//p' "$state")
    case $command in
      halt) pg_ctl_on "$data" "$port" stop -m fast >/dev/null ;;
      resume)  # nothing to do when it runs
        as_server "$bin/pg_ctl" -D "$data/cluster" status >/dev/null ||
          pg_ctl_on "$data" "$port" start >/dev/null
        ;;
      stop)
        pg_ctl_on "$data" "$port" stop -m immediate >/dev/null 2>&1 || true
        case $data in /tmp/ombrix-site-test.*) rm -rf "$data" ;; esac
        rm -f "$state"
        ;;
    esac
    ;;
  *)
    echo "usage: pg_server.sh start|halt|resume|stop STATE, or grant STATE TABLE" >&2
    exit 2
    ;;
esac
