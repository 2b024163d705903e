#!/bin/bash
# Writes a large cache index for index_bench: 100,000 entries (index only, no cache files) in the
# browser's layout (4096-byte pages, version 5 records), through mkcache.
# Usage: make_bench_cache.sh MKCACHE OUTDIR [ENTRIES]
set -eu
MK=${1:?usage: make_bench_cache.sh MKCACHE OUTDIR [ENTRIES]}
OUT=${2:?usage: make_bench_cache.sh MKCACHE OUTDIR [ENTRIES]}
N=${3:-100000}
mkdir -p "$OUT"
if [ -f "$OUT/FAT.DB" ] && [ "$(cat "$OUT/entries" 2>/dev/null)" = "$N" ]; then
  exit 0
fi
awk -v n="$N" 'BEGIN {
  for (i = 1; i <= n; i++)
    printf "http://www%d.example%d.co.jp/dir%d/sub%d/page%d.html - nofile\n", i % 17, i % 101,
      i % 13, i % 7, i
}' >"$OUT/manifest.txt"
"$MK" "$OUT/manifest.txt" "$OUT" >/dev/null
echo "$N" >"$OUT/entries"
