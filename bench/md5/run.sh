#!/usr/bin/env bash
# FileMd5 against `openssl md5` on the same file, alternating, in one run.
# Usage: bench/md5/run.sh BUILD_DIR [SIZE_MIB] [ROUNDS]
set -euo pipefail
build=${1:-build}
size_mib=${2:-1024}
rounds=${3:-5}
ours="$build/bin/md5_file_bench"
[ -x "$ours" ] || { echo "build $ours first" >&2; exit 1; }
work=$(mktemp -d /var/tmp/qv-md5-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
file="$work/package.bin"
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$file"

# Both digests must agree before anything is timed.
expected=$(openssl md5 -r "$file" | cut -d' ' -f1)
actual=$("$ours" "$file" | cut -d' ' -f1)
[ "$expected" = "$actual" ] || { echo "digest mismatch: $actual != $expected" >&2; exit 1; }
cat "$file" > /dev/null  # warm the page cache

seconds() { local start end; start=$(date +%s.%N); "$@" > /dev/null; end=$(date +%s.%N); echo "$end - $start" | bc -l; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

ours_times=() peer_times=()
for ((i = 0; i < rounds; i++)); do
  peer_times+=("$(seconds openssl md5 "$file")")
  ours_times+=("$(seconds "$ours" "$file")")
done
ours_median=$(printf '%s\n' "${ours_times[@]}" | median)
peer_median=$(printf '%s\n' "${peer_times[@]}" | median)
printf 'FileMd5 of %d MiB, %d rounds (median seconds; min-max)\n' "$size_mib" "$rounds"
printf '  FileMd5      %.3f s  %.0f MiB/s  (%s)\n' "$ours_median" "$(echo "$size_mib / $ours_median" | bc -l)" "$(printf '%s\n' "${ours_times[@]}" | sort -g | sed -n '1p;$p' | paste -sd-)"
printf '  openssl md5  %.3f s  %.0f MiB/s  (%s)\n' "$peer_median" "$(echo "$size_mib / $peer_median" | bc -l)" "$(printf '%s\n' "${peer_times[@]}" | sort -g | sed -n '1p;$p' | paste -sd-)"
printf '  throughput ratio FileMd5 / openssl: %.3f (target >= 0.9)\n' "$(echo "$peer_median / $ours_median" | bc -l)"
