#!/usr/bin/env bash
# A throwaway PostgreSQL server for the tests, from the Debian packages.
# Usage: tests/pgcluster.sh start STATE   starts it and writes its address in STATE/url
#        tests/pgcluster.sh stop STATE    stops it and removes its files
# The server refuses to run as root: as root it runs as the user postgres.
set -euo pipefail
action=${1:?start ou stop}
state=${2:?dossier d\'état}

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

case "$action" in
start)
    bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
    if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
        echo "ÉCHEC : PostgreSQL n'est pas installé (paquet postgresql, voir scripts/setup.sh" \
             "--tests) : les tests sur serveur ne peuvent pas tourner." >&2
        exit 1
    fi
    if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
        echo "ÉCHEC : l'utilisateur postgres manque pour lancer le serveur de test." >&2
        exit 1
    fi
    if [ -f "$state/datadir" ]; then
        "$0" stop "$state" || true
    fi
    mkdir -p "$state"
    rm -f "$state/url"
    data=$(mktemp -d "${TMPDIR:-/tmp}/ov-pgtest.XXXXXX")
    echo "$data" > "$state/datadir"
    echo "$bindir" > "$state/bindir"
    if [ "$(id -u)" -eq 0 ]; then chown postgres: "$data"; fi
    chmod 700 "$data"
    as_server "$bindir/initdb" -D "$data/db" -U ovtest --auth=trust -E UTF8 --locale=C.UTF-8 \
        >"$data/initdb.log" 2>&1 || { cat "$data/initdb.log" >&2; exit 1; }
    for attempt in 1 2 3 4 5 6 7 8; do
        port=$((20000 + RANDOM % 40000))
        if as_server "$bindir/pg_ctl" -D "$data/db" -l "$data/server.log" -w -t 60 \
            -o "-p $port -k $data -c listen_addresses=127.0.0.1 -c fsync=off" start \
            >/dev/null 2>&1; then
            echo "postgresql://ovtest@127.0.0.1:$port/postgres" > "$state/url"
            echo "Serveur de test prêt : $(cat "$state/url")"
            exit 0
        fi
    done
    cat "$data/server.log" >&2 || true
    echo "ÉCHEC : le serveur PostgreSQL de test n'a pas démarré." >&2
    exit 1
    ;;
stop)
    [ -f "$state/datadir" ] || exit 0
    data=$(cat "$state/datadir")
    bindir=$(cat "$state/bindir")
    if [ -d "$data/db" ]; then
        as_server "$bindir/pg_ctl" -D "$data/db" -m fast -w stop >/dev/null 2>&1 || true
    fi
    case "$data" in
    */ov-pgtest.*) rm -rf "$data" ;;
    esac
    rm -f "$state/datadir" "$state/bindir" "$state/url"
    ;;
*)
    echo "usage : $0 start|stop DOSSIER" >&2
    exit 2
    ;;
esac
