#!/usr/bin/env bash
# The whole install flow on this machine, touching nothing of the user's: a
# throw-away home, the package server and the analytics collector stand-ins on
# 127.0.0.1, the sample package, and the installer run unattended against them.
# Usage: tools/demo/run.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
bin="$build/bin"
for program in quorvane-setup quorvane-sample-package package_server analytics-collector; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: run make build first" >&2; exit 1; }
done

demo=$(mktemp -d /tmp/quorvane-demo-XXXXXX)
server_pid="" collector_pid=""
cleanup() {
  for pid in $server_pid $collector_pid; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$demo"
}
trap cleanup EXIT

# A home of its own: registry store, set.ini hand-over, tracker files and menu entries land here.
mkdir -p "$demo"/{home,packages,runtime}
chmod 700 "$demo/runtime"
export HOME="$demo/home" XDG_CONFIG_HOME="$demo/home/.config" XDG_DATA_HOME="$demo/home/.local/share" \
       XDG_STATE_HOME="$demo/home/.local/state" XDG_CACHE_HOME="$demo/home/.cache" XDG_RUNTIME_DIR="$demo/runtime"
unset APPDATA
export QUORVANE_PRODUCT_SECONDS=1

free_port() {
  local port
  for port in $(seq "$1" $(($1 + 50))); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then echo "$port"; return; fi
  done
  echo "no free port near $1" >&2; exit 1
}
wait_for_port() {
  for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return; sleep 0.1; done
  echo "nothing listens on 127.0.0.1:$1" >&2; exit 1
}

cp "$bin/quorvane-sample-package" "$demo/packages/setup.exe"
package_port=$(free_port 18080)
"$bin/package_server" --root "$demo/packages" --port "$package_port" > "$demo/server.log" 2>&1 &
server_pid=$!
collector_port=$(free_port 18106)
"$bin/analytics-collector" --port "$collector_port" > "$demo/events.jsonl" 2> "$demo/collector.log" &
collector_pid=$!
wait_for_port "$package_port"
wait_for_port "$collector_port"

digest=$(md5sum "$demo/packages/setup.exe" | cut -d' ' -f1)
package_url="http://127.0.0.1:$package_port/$digest/setup.exe"
echo "== Package server: $package_url"
echo "== Analytics collector: http://127.0.0.1:$collector_port/sa?project=pc"
echo "== quorvane-setup -silent=true (diagnostic lines in $demo/installer-debug.log)"
status=0
"$bin/quorvane-setup" -silent=true -downloadurl="$package_url" \
  -analyticsurl="http://127.0.0.1:$collector_port/sa?project=pc" -installdir="$demo/Programs" \
  2> >(tee "$demo/installer.log" | grep -v '^<P' >&2) || status=$?
grep '^<P' "$demo/installer.log" > "$demo/installer-debug.log" || true
echo "== Installer exit code: $status"
[ "$status" -eq 0 ] || exit "$status"

sleep 1.5  # the sample product, started automatically, writes its note and ends
product="$demo/Programs/Lumivex"
echo
echo "== Installed product folder: $product"
ls -l "$product"
echo
echo "== Registry values ($XDG_CONFIG_HOME/KarVoSoft/Lumivex/registry.ini)"
cat "$XDG_CONFIG_HOME/KarVoSoft/Lumivex/registry.ini"
echo
echo "== $product/set.ini"
cat "$product/set.ini"
echo
echo "== Desktop and menu entries"
ls "$HOME/Desktop" "$XDG_DATA_HOME/applications"
[ -f "$product/last-run.txt" ] && { echo; echo "== The product ran:"; cat "$product/last-run.txt"; }
echo
echo "== Analytics events received by the collector"
sed -E -e 's/.*"event":"([^"]*)".*"kv_(task_)?name":"([^"]*)".*/\1  \3/' "$demo/events.jsonl"
events=$(wc -l < "$demo/events.jsonl")
echo "($events events)"
[ "$events" -gt 0 ]
