#!/usr/bin/env bash
# Starts or stops the JACK server the integration tests run against: the dummy driver, so no
# sound hardware is needed, without realtime scheduling, so it runs as any user (root included).
#
#   jack_server.sh start DIR   start the server, record its PID in DIR, wait until it answers
#   jack_server.sh stop DIR    stop the server recorded in DIR and wait until it has ended
#
# The server's name is $JACK_DEFAULT_SERVER, or tarvelo-test.
set -euo pipefail

action="${1:-}"
dir="${2:-}"
if [[ -z "$action" || -z "$dir" ]]; then
    echo "usage: $0 start|stop DIR" >&2
    exit 2
fi

server="${JACK_DEFAULT_SERVER:-tarvelo-test}"
pidfile="$dir/jackd.pid"
log="$dir/jackd.log"
start_timeout=15
stop_timeout=10

alive() { [[ -n "$1" ]] && kill -0 "$1" 2>/dev/null; }
# jack_wait exits with 0 either way; only its output tells.
answers() { [[ "$(jack_wait -s "$server" -c 2>/dev/null)" == running ]]; }

# Stops the server whose PID is recorded, if it still runs, and forgets it.
stop_recorded() {
    [[ -f "$pidfile" ]] || return 0
    local pid
    pid=$(<"$pidfile")
    rm -f "$pidfile"
    alive "$pid" || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < stop_timeout * 10; i++)); do
        alive "$pid" || return 0
        sleep 0.1
    done
    echo "jack_server: $server (PID $pid) ignored TERM; killing it" >&2
    kill -KILL "$pid" 2>/dev/null || true
    for ((i = 0; i < 50; i++)); do
        alive "$pid" || return 0
        sleep 0.1
    done
    echo "jack_server: $server (PID $pid) does not end" >&2
    return 1
}

case "$action" in
start)
    mkdir -p "$dir"
    # A server left over from an interrupted run of ours.
    stop_recorded
    if answers; then
        echo "jack_server: a server named $server already runs; using it" >&2
        exit 0
    fi
    # Detached, with its output in a file: the test driver waits for every descriptor it
    # handed out to close, and this one outlives the script.
    setsid jackd -n "$server" --no-realtime -d dummy -r 48000 -p 256 \
        </dev/null >"$log" 2>&1 &
    pid=$!
    echo "$pid" >"$pidfile"
    timeout $((start_timeout + 5)) jack_wait -s "$server" -w -t "$start_timeout" >/dev/null 2>&1 || true
    if ! alive "$pid" || ! answers; then
        echo "jack_server: $server did not come up; its output:" >&2
        cat "$log" >&2 || true
        stop_recorded || true
        exit 1
    fi
    echo "jack_server: $server runs (PID $pid)"
    ;;
stop)
    stop_recorded
    echo "jack_server: $server stopped"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
