#!/usr/bin/env bash
# Runs a command in a throwaway desktop session: private HOME and XDG folders, a private D-Bus
# session bus, and a Secret Service (gnome-keyring) whose login keyring is created and unlocked
# without a prompt. Nothing of the developer's own session is touched.
#
# AIRLARK_TEST_SESSION names the session's folder, and its file "bus-address" records the session
# bus; a test executable runs only where both agree (and starts a session of its own otherwise).
set -euo pipefail
root=$(mktemp -d "${TMPDIR:-/tmp}/airlark-session.XXXXXX")

# Services that the bus activates inherit the bus daemon's environment, so these come first.
export AIRLARK_TEST_SESSION="$root"
export HOME="$root/home" XDG_DATA_HOME="$root/data" XDG_CONFIG_HOME="$root/config"
export XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/runtime"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Ends the keyring daemon of this session only (it daemonizes, so it is found by its environment),
# and waits for it: it writes its keyring files as it exits, and the folder goes after that.
stop_keyring() {
    local pid ours=() try
    for pid in $(pgrep -x gnome-keyring-d 2>/dev/null); do
        if { tr "\0" "\n" <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then
            kill "$pid" 2>/dev/null && ours+=("$pid")
        fi
    done
    for pid in "${ours[@]}"; do
        for try in $(seq 50); do
            # Gone, or a zombie that has written everything.
            grep -qsE "^State:[[:space:]]+[^Z]" "/proc/$pid/status" || break
            sleep 0.1
        done
    done
}
cleanup() { stop_keyring; rm -rf "$root"; }
trap cleanup EXIT

status=0
dbus-run-session -- bash -c '
    printf "%s" "$DBUS_SESSION_BUS_ADDRESS" >"$AIRLARK_TEST_SESSION/bus-address"
    printf "airlark-test-keyring" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$@"
' bash "$@" </dev/null || status=$?
exit "$status"
