#!/usr/bin/env bash
# Runs a command inside private network and mount namespaces: only a loopback
# interface exists, and mounts made by tests never leak out. HOME and the XDG
# folders point at a throw-away folder so that nothing touches the real user.
set -euo pipefail
if [ "${QV_ISOLATED:-}" != "1" ]; then
  exec unshare -n -m --propagation private env QV_ISOLATED=1 "$0" "$@"
fi
ip link set lo up
scratch=$(mktemp -d /tmp/qv-suite-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch"/{home,config,data,state,cache,runtime,tmp}
chmod 700 "$scratch/runtime"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
       XDG_STATE_HOME="$scratch/state" XDG_CACHE_HOME="$scratch/cache" XDG_RUNTIME_DIR="$scratch/runtime" \
       TMPDIR="$scratch/tmp"
unset APPDATA DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS
"$@"
