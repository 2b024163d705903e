#!/bin/bash
# Writes the index fuzzer's seed corpus: small cache index and history files made by mkcache
# through the real hash library, in every page size, byte order and record form the reader meets.
# Usage: make_seeds.sh MKCACHE OUTDIR
set -eu
export TZ=Asia/Tokyo LC_ALL=C
MK=${1:?usage: make_seeds.sh MKCACHE OUTDIR}
OUT=${2:?usage: make_seeds.sh MKCACHE OUTDIR}
T=$(mktemp -d "${TMPDIR:-/tmp}/index-seeds.XXXXXX")
trap 'rm -rf "$T"' EXIT
rm -rf "$OUT" && mkdir -p "$OUT"

for i in $(seq 1 30); do echo "http://host$((i % 4)).example.com/d$((i % 3))/page$i.html - nofile"; done >"$T/small.txt"
cat >>"$T/small.txt" <<EOF2
http://www.example.co.jp/cgi-bin/q.cgi?a=1 - nofile post=a=1
http://long.example.jp/$(printf 'a%.0s' $(seq 1 300)).html - nofile
delete http://host1.example.com/d1/page1.html
delete http://host2.example.com/d2/page14.html
EOF2
{ cat "$T/small.txt"; echo "http://big.example.jp/$(printf 'p%.0s' $(seq 1 5000)).html - nofile"; } >"$T/big.txt"
for i in $(seq 1 40); do echo "http://site$((i % 5)).example.net/p$i title=T$i"; done >"$T/hist.txt"
echo "delete http://site3.example.net/p3" >>"$T/hist.txt"

n=0
seed() {  # MANIFEST INDEX-NAME ARGS...
  n=$((n + 1))
  "$MK" "${@:3}" "$1" "$T/out$n" >/dev/null
  cp "$T/out$n/$2" "$OUT/seed$n"
}
seed "$T/small.txt" FAT.DB --bsize 4096 --lorder 1234 --records 5
seed "$T/small.txt" FAT.DB --bsize 8192 --lorder 4321 --records 3
seed "$T/small.txt" FAT.DB --bsize 512 --lorder 1234 --records 5
seed "$T/small.txt" FAT.DB --bsize 256 --lorder 4321 --records 5
seed "$T/big.txt" FAT.DB --bsize 4096 --lorder 1234 --records 5
seed "$T/big.txt" FAT.DB --bsize 4096 --lorder 4321 --records 3
seed "$T/hist.txt" NETSCAPE.HST --history=4 --lorder 1234
seed "$T/hist.txt" NETSCAPE.HST --history=3 --lorder 4321
touch "$OUT/.stamp"
