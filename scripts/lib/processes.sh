# shellcheck shell=bash
# Shared by the end-to-end tests and the footprint benchmark: child processes started in the background, stopped
# when the script ends, and a private session bus. The caller sets WORK (a folder of its own) and PIDS=().

# A process that has ended but was not yet reaped still answers kill -0: look at its state instead. The state
# follows the command name, which may itself hold spaces and parentheses.
gone() {
    local state
    state=$(awk '{sub(/.*\) /, ""); print $1}' "/proc/$1/stat" 2>/dev/null) || return 0
    [ -z "$state" ] || [ "$state" = Z ]
}

# stop PID: TERM, then KILL if it lingers; reaps it when it is ours.
stop() {
    local pid=$1 tries=0
    kill -TERM "$pid" 2>/dev/null || true
    while ! gone "$pid" && [ $tries -lt 50 ]; do
        sleep 0.1
        tries=$((tries + 1))
    done
    gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# spawn NAME COMMAND...: starts COMMAND in the background, output added to $WORK/NAME.log; its PID in SPAWNED.
spawn() {
    local name=$1
    shift
    "$@" >>"$WORK/$name.log" 2>&1 &
    SPAWNED=$!
    PIDS+=("$SPAWNED")
}

# Exit statuses after which the logs are not shown.
QUIET_STATUSES=(0)

# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
    local status=$? i log
    trap - EXIT INT TERM
    for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do stop "${PIDS[i]}"; done
    if [[ " ${QUIET_STATUSES[*]} " != *" $status "* ]]; then
        for log in "$WORK"/*.log; do
            [ -s "$log" ] || continue
            printf -- '--- %s (last lines)\n' "$(basename "$log")" >&2
            tail -n 30 "$log" >&2
        done
    fi
    rm -rf "$WORK"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# bus_config FILE SOCKET: a session bus configuration that listens on SOCKET, lets every client own and reach
# every name, and starts no services, so nothing of the machine's desktop answers on it. Any user may connect:
# a compositor that refuses root runs its clients as another user on a bus started by root.
bus_config() {
    cat >"$1" <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$2</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
    <allow user="*"/>
  </policy>
</busconfig>
CONFIG
}
