#!/bin/sh
# SPDX-License-Identifier: MIT
# Starts or stops the private Xvfb of one test process (harness.py), or of a script.
#   xvfb.sh start STATEFILE   -> STATEFILE holds "DISPLAYNUMBER PID" once the server accepts clients
#   xvfb.sh stop STATEFILE
# The screen is 800x600 so that a program's 800x600 window covers it whatever
# place the SDL implementation picks for it. -noreset: by default the server
# resets whenever its last client leaves, and drops whoever connects meanwhile,
# which is exactly when the next program of the same test starts.
set -eu

cmd=${1:-}
state=${2:-}
if [ -z "$cmd" ] || [ -z "$state" ]; then
    echo "usage: $0 start|stop STATEFILE" >&2
    exit 2
fi

stop_server() {
    [ -f "$state" ] || return 0
    read -r _num pid < "$state" || true
    rm -f "$state"
    # Only our server: after a reboot or a long pause the pid may be someone else's.
    if [ -n "${pid:-}" ] && [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = Xvfb ]; then
        kill "$pid"
        i=0
        while [ "$(cat /proc/"$pid"/comm 2>/dev/null)" = Xvfb ] && [ $i -lt 100 ]; do
            sleep 0.1
            i=$((i + 1))
        done
    fi
}

case "$cmd" in
start)
    # A server left behind by an interrupted run would otherwise leak.
    stop_server
    dir=$(dirname "$state")
    mkdir -p "$dir"
    numfile="$state.displayfd"
    log="$state.log"
    rm -f "$numfile"
    # Detached, and with none of our descriptors: ctest waits for a test's
    # output pipes to close, so a server holding them would hang the test.
    setsid Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -noreset \
        3>"$numfile" </dev/null >"$log" 2>&1 &
    pid=$!
    i=0
    while [ $i -lt 300 ]; do
        if [ -s "$numfile" ]; then
            num=$(tr -d '\n ' < "$numfile")
            echo "$num $pid" > "$state"
            rm -f "$numfile"
            echo "Xvfb :$num (pid $pid) ready"
            exit 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "Xvfb exited before it was ready; its log:" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.1
        i=$((i + 1))
    done
    echo "Xvfb not ready after 30 s; its log:" >&2
    cat "$log" >&2
    kill "$pid" 2>/dev/null || true
    exit 1
    ;;
stop)
    stop_server
    ;;
*)
    echo "unknown command: $cmd" >&2
    exit 2
    ;;
esac
