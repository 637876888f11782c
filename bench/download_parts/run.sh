#!/usr/bin/env bash
# The two-part downloader against the single-stream downloader and against
# `aria2c -x2 -s2`, all fetching the same package from nginx on 127.0.0.1 with a
# per-connection rate limit, alternating, in one run. Every time is from start
# to a complete file; ours include the merge and the MD5 check, and aria2c is
# shown both alone and followed by `md5sum`.
# Usage: bench/download_parts/run.sh BUILD_DIR [SIZE_MIB] [ROUNDS] [RATE]
# Needs about three times SIZE_MIB of free disk under /var/tmp.
set -euo pipefail
build=${1:-build}
size_mib=${2:-256}
rounds=${3:-1}
rate=${4:-10m}
ours="$build/bin/download_parts_bench"
[ -x "$ours" ] || { echo "build $ours first" >&2; exit 1; }
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$nginx_bin" ] || { echo "nginx is not installed" >&2; exit 1; }
command -v aria2c > /dev/null || { echo "aria2c is not installed (package aria2)" >&2; exit 1; }

work=$(mktemp -d /var/tmp/qv-parts-bench-XXXXXX)
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill -QUIT "$nginx_pid" 2> /dev/null || true; wait "$nginx_pid" 2> /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/package.bin"
digest=$(md5sum "$work/package.bin" | cut -d' ' -f1)
mkdir -p "$work/www/$digest" "$work/nginx" "$work/out"
mv "$work/package.bin" "$work/www/$digest/setup.exe"
path="/$digest/setup.exe"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
{
  [ "$(id -u)" = 0 ] && echo "user root;"
  cat << CONF
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  default_type application/octet-stream;
  types { }
  sendfile on;
  access_log off;
  limit_rate $rate;
  client_body_temp_path $work/nginx/client_body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
} > "$work/nginx/nginx.conf"
"$nginx_bin" -p "$work/nginx" -e "$work/nginx/error.log" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done
url="http://127.0.0.1:$port$path"
load_before=$(cut -d' ' -f1 /proc/loadavg)

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
run_ours() {
  local kind=$1 code seconds
  rm -f "$work/out/ours.exe"
  read -r code seconds < <("$ours" "$kind" "$url" "$work/out/ours.exe") || { echo "$kind run failed" >&2; exit 1; }
  [ "$code" = 1003 ] || { echo "$kind run ended with $code" >&2; exit 1; }
  echo "$seconds"
}

single=() parts=() aria=() aria_md5=()
for ((i = 0; i < rounds; i++)); do
  single+=("$(run_ours single)")
  parts+=("$(run_ours parts)")
  rm -f "$work/out/aria.exe"
  start=$(now)
  aria2c --no-conf -q -x2 -s2 --allow-overwrite=true -d "$work/out" -o aria.exe "$url"
  mid=$(now)
  sum=$(md5sum "$work/out/aria.exe" | cut -d' ' -f1)
  end=$(now)
  [ "$sum" = "$digest" ] || { echo "aria2c fetched a different file" >&2; exit 1; }
  aria+=("$(echo "$mid - $start" | bc -l)") aria_md5+=("$(echo "$end - $start" | bc -l)")
done

m() { printf '%s\n' "$@" | median; }
s=$(m "${single[@]}") p=$(m "${parts[@]}") a=$(m "${aria[@]}") am=$(m "${aria_md5[@]}")
printf 'package %d MiB, rate %s per connection, %d rounds, medians; load average before: %s\n' \
  "$size_mib" "$rate" "$rounds" "$load_before"
printf '  single stream (s) %.3f   two parts (s) %.3f   aria2c -x2 -s2 (s) %.3f   aria2c + md5sum (s) %.3f\n' \
  "$s" "$p" "$a" "$am"
printf '  two parts / single stream  %.3f (target <= 0.56)\n' "$(echo "$p / $s" | bc -l)"
printf '  two parts / aria2c         %.3f (target <= 1.10)   / aria2c + md5sum %.3f\n' \
  "$(echo "$p / $a" | bc -l)" "$(echo "$p / $am" | bc -l)"
