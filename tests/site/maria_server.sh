#!/usr/bin/env bash
# A MariaDB server of the site tests' own, as tests/site/pg_server.sh makes a PostgreSQL one: a
# fresh data folder, a free port of 127.0.0.1 and a socket of its own, started by this script
# (never the system's service). The database takes UTF-8 whole (utf8mb4) and compares by code
# point (utf8mb4_bin), as the program's table asks.
#
#   maria_server.sh start|halt|resume|stop STATE   as pg_server.sh
#   maria_server.sh grant STATE TABLE              as pg_server.sh
set -euo pipefail
command=$1
state=$2
table=${3:-}

command -v mariadbd >/dev/null || [ -x /usr/sbin/mariadbd ] ||
  { echo "maria_server.sh: MariaDB is not installed (scripts/setup.sh)" >&2; exit 1; }
mariadbd=$(command -v mariadbd || echo /usr/sbin/mariadbd)
os_user=$(id -un)  # the account install-db makes for the one who runs it, by its socket

alive() {  # PID: runs, and is no zombie that nobody has reaped yet
  [ -r "/proc/$1/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status"
}

client() {  # DATA TOOL ARGS...
  local data=$1 tool=$2
  shift 2
  "$tool" --no-defaults --socket="$data/socket" -u "$os_user" "$@"
}

serve() {  # DATA PORT: started, and answering before this returns
  local data=$1 port=$2
  "$mariadbd" --no-defaults --datadir="$data/db" --socket="$data/socket" --port="$port" \
    --bind-address=127.0.0.1 --user="$os_user" --pid-file="$data/pid" \
    --log-error="$data/server.log" --skip-log-bin --innodb-flush-log-at-trx-commit=0 \
    --max-connections=60 </dev/null >/dev/null 2>&1 &
  for _ in $(seq 600); do
    client "$data" mariadb-admin --connect-timeout=2 ping >/dev/null 2>&1 && return 0
    alive $! || break
    sleep 0.1
  done
  echo "maria_server.sh: the server did not start; its log:" >&2
  cat "$data/server.log" >&2
  return 1
}

case $command in
  start)
    [ ! -f "$state" ] || "$0" stop "$state"
    data=$(mktemp -d /tmp/ombrix-site-maria.XXXXXX)
    port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    password=site-$RANDOM$RANDOM
    mariadb-install-db --no-defaults --datadir="$data/db" --user="$os_user" \
      --skip-test-db >"$data/install.log" 2>&1
    serve "$data" "$port"
    client "$data" mariadb -e "
      CREATE DATABASE ombrix_site CHARACTER SET utf8mb4 COLLATE utf8mb4_bin;
      CREATE USER ombrix@'127.0.0.1' IDENTIFIED BY '$password';
      GRANT ALL ON ombrix_site.* TO ombrix@'127.0.0.1';"
    {
      echo "OMBRIX_TEST_SITE_DATA=$data"
      echo "OMBRIX_TEST_SITE_PORT=$port"
      echo "OMBRIX_TEST_SITE_PASSWORD=$password"
      echo "OMBRIX_TEST_SITE=Driver={MariaDB Unicode};Server=127.0.0.1;Port=$port;Database=ombrix_site;Uid=ombrix;Pwd=$password"
    } >"$state"
    echo "MariaDB on 127.0.0.1:$port, data in $data"
    ;;
  grant)  # the login of a PC that may read and add rows, and create nothing
    data=$(sed -n 's/^OMBRIX_TEST_SITE_DATA=//p' "$state")
    password=$(sed -n 's/^OMBRIX_TEST_SITE_PASSWORD=//p' "$state")
    client "$data" mariadb -e "
      CREATE USER IF NOT EXISTS ombrix_limited@'127.0.0.1' IDENTIFIED BY '$password';
      GRANT SELECT, INSERT ON ombrix_site.$table TO ombrix_limited@'127.0.0.1';"
    ;;
  halt | resume | stop)
    [ -f "$state" ] || exit 0
    data=$(sed -n 's/^OMBRIX_TEST_SITE_DATA=//p' "$state")
    port=$(sed -n 's/^OMBRIX_TEST_SITE_PORT=//p' "$state")
    running() { [ -f "$data/pid" ] && alive "$(cat "$data/pid")"; }
    case $command in
      halt)
        pid=$(cat "$data/pid")
        client "$data" mariadb-admin shutdown
        while alive "$pid"; do sleep 0.05; done
        ;;
      resume) running || serve "$data" "$port" ;;
      stop)
        if running; then
          pid=$(cat "$data/pid")
          kill -9 "$pid"
          while alive "$pid"; do sleep 0.05; done
        fi
        case $data in /tmp/ombrix-site-maria.*) rm -rf "$data" ;; esac
        rm -f "$state"
        ;;
    esac
    ;;
  *)
    echo "usage: maria_server.sh start|halt|resume|stop STATE, or grant STATE TABLE" >&2
    exit 2
    ;;
esac
