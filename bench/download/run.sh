#!/usr/bin/env bash
# CCurlDownloader (download + MD5 check) against `curl -s -o FILE URL && md5sum FILE`,
# both fetching the same package from nginx on 127.0.0.1, alternating, in one run.
# Usage: bench/download/run.sh BUILD_DIR [SIZE_MIB] [ROUNDS]
# Needs about three times SIZE_MIB of free disk under /var/tmp.
set -euo pipefail
build=${1:-build}
size_mib=${2:-1024}
rounds=${3:-3}
ours="$build/bin/download_bench"
[ -x "$ours" ] || { echo "build $ours first" >&2; exit 1; }
command -v nginx > /dev/null || [ -x /usr/sbin/nginx ] || { echo "nginx is not installed" >&2; exit 1; }
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)

work=$(mktemp -d /var/tmp/qv-download-bench-XXXXXX)
nginx_pid=
cleanup() {
  if [ -n "$nginx_pid" ]; then kill -QUIT "$nginx_pid" 2> /dev/null || true; wait "$nginx_pid" 2> /dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The package, served under /<md5>/<name> as the installer expects.
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/package.bin"
digest=$(md5sum "$work/package.bin" | cut -d' ' -f1)
mkdir -p "$work/www/$digest" "$work/nginx"
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

# CPU seconds (user + system) and peak RSS of a command, from /usr/bin/time.
timed() { local out=$1; shift; /usr/bin/time -f '%U %S %M' -o "$out" "$@"; }
cpu() { awk '{ print $1 + $2 }' "$1"; }
rss() { awk '{ print $3 }' "$1"; }

curl_transfer=() curl_total=() curl_cpu=() curl_rss=() ours_transfer=() ours_total=() ours_cpu=() ours_rss=()
for ((i = 0; i < rounds; i++)); do
  rm -f "$work/curl.out" "$work/ours.out"
  start=$(now)
  timed "$work/time.curl" curl -s -o "$work/curl.out" "$url"
  mid=$(now)
  sum=$(timed "$work/time.md5sum" md5sum "$work/curl.out" | cut -d' ' -f1)
  end=$(now)
  [ "$sum" = "$digest" ] || { echo "curl fetched a different file" >&2; exit 1; }
  curl_transfer+=("$(echo "$mid - $start" | bc -l)")
  curl_total+=("$(echo "$end - $start" | bc -l)")
  curl_cpu+=("$(echo "$(cpu "$work/time.curl") + $(cpu "$work/time.md5sum")" | bc -l)")
  curl_rss+=("$(rss "$work/time.curl")")
  rm -f "$work/curl.out"

  read -r code transfer total _ < <(timed "$work/time.ours" "$ours" "$url" "$work/ours.out") ||
    { echo "download_bench failed" >&2; exit 1; }
  [ "$code" = 1003 ] || { echo "download_bench ended with $code" >&2; exit 1; }
  ours_transfer+=("$transfer") ours_total+=("$total")
  ours_cpu+=("$(cpu "$work/time.ours")") ours_rss+=("$(rss "$work/time.ours")")
done

m() { printf '%s\n' "$@" | median; }
ct=$(m "${curl_transfer[@]}") cT=$(m "${curl_total[@]}") ot=$(m "${ours_transfer[@]}") oT=$(m "${ours_total[@]}")
printf 'package %d MiB, %d rounds, medians; load average before: %s\n' "$size_mib" "$rounds" "$load_before"
printf '  transfer (s)         curl %.3f  ours %.3f  throughput ours/curl %.2f (target >= 0.90)\n' "$ct" "$ot" "$(echo "$ct / $ot" | bc -l)"
printf '  download+verify (s)  curl+md5sum %.3f  ours %.3f  time ours/peer %.2f (target <= 1.00, stretch <= 0.70)\n' \
  "$cT" "$oT" "$(echo "$oT / $cT" | bc -l)"
printf '  CPU seconds          curl+md5sum %.2f  ours %.2f\n' "$(m "${curl_cpu[@]}")" "$(m "${ours_cpu[@]}")"
printf '  peak RSS (KiB)       curl %s  ours %s\n' "$(m "${curl_rss[@]}")" "$(m "${ours_rss[@]}")"
