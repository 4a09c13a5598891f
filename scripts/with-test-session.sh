#!/usr/bin/env bash
# Runs a command in a throwaway desktop session: private HOME and XDG folders, a private D-Bus
# session bus, and a Secret Service (gnome-keyring) whose login keyring is created and unlocked
# without a prompt. Nothing of the developer's own session is touched.
set -euo pipefail
root=$(mktemp -d "${TMPDIR:-/tmp}/airlark-session.XXXXXX")

# Services that the bus activates inherit the bus daemon's environment, so these come first.
export HOME="$root/home" XDG_DATA_HOME="$root/data" XDG_CONFIG_HOME="$root/config"
export XDG_CACHE_HOME="$root/cache" XDG_RUNTIME_DIR="$root/runtime"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# Ends the keyring daemon of this session only (it daemonizes, so it is found by its environment).
stop_keyring() {
    local pid
    for pid in $(pgrep -x gnome-keyring-d 2>/dev/null); do
        if { tr "\0" "\n" <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR"; then
            kill "$pid" 2>/dev/null || true
        fi
    done
}
cleanup() { stop_keyring; rm -rf "$root"; }
trap cleanup EXIT

status=0
dbus-run-session -- bash -c '
    printf "airlark-test-keyring" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec "$@"
' bash "$@" </dev/null || status=$?
exit "$status"
