#!/usr/bin/env bash
# Starts or stops the PipeWire daemon the PipeWire integration tests run against: no session bus
# and no sound card, its socket in a runtime directory of the test run's own. The tests reach it
# through PipeWire's JACK library (pw-jack), with XDG_RUNTIME_DIR set to DIR/runtime.
#
#   pipewire_server.sh start DIR   start it, record its PID in DIR, wait until a client connects
#   pipewire_server.sh stop DIR    stop the daemon recorded in DIR and wait until it has ended
set -euo pipefail

action="${1:-}"
dir="${2:-}"
if [[ -z "$action" || -z "$dir" ]]; then
    echo "usage: $0 start|stop DIR" >&2
    exit 2
fi
pidfile="$dir/pipewire.pid"
log="$dir/pipewire.log"
export XDG_RUNTIME_DIR="$dir/runtime"

alive() { [[ -n "$1" ]] && kill -0 "$1" 2>/dev/null; }

stop_recorded() {
    [[ -f "$pidfile" ]] || return 0
    local pid
    pid=$(<"$pidfile")
    rm -f "$pidfile"
    alive "$pid" || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < 100; i++)); do
        alive "$pid" || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
}

case "$action" in
start)
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    stop_recorded
    setsid pipewire </dev/null >"$log" 2>&1 &
    pid=$!
    echo "$pid" >"$pidfile"
    for ((i = 0; i < 150; i++)); do
        if pw-jack jack_lsp >/dev/null 2>&1; then
            echo "pipewire_server: runs (PID $pid) in $XDG_RUNTIME_DIR"
            exit 0
        fi
        alive "$pid" || break
        sleep 0.1
    done
    echo "pipewire_server: did not come up; its output:" >&2
    cat "$log" >&2 || true
    stop_recorded
    exit 1
    ;;
stop)
    stop_recorded
    echo "pipewire_server: stopped"
    ;;
*)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
