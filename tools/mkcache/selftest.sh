#!/bin/bash
# Self-test of mkcache: the header words, the record bytes and the files it writes, read back
# through the library's own seq() (--dump); expectations are built here, not by mkcache.
# Usage: selftest.sh PATH/TO/mkcache
set -u
export TZ=Asia/Tokyo LC_ALL=C
MK=${1:?usage: selftest.sh MKCACHE}
T=$(mktemp -d "${TMPDIR:-/tmp}/mkcache-selftest.XXXXXX") || exit 1
trap 'rm -rf "$T"' EXIT
fails=0
fail() { echo "FAIL: $*" >&2; fails=$((fails + 1)); }
hex_of() { od -An -tx1 -v "$1" | tr -d ' \n'; }

cat >"$T/m.txt" <<'EOF2'
http://www.example.co.jp/a/b.html 0A/cache35A1B2C3001A2F4.html gen=5000 mtime=@900000000 atime=@900000100
http://\x82\xa0.example.jp/\x95\x5c.html M0SJIS01.HTM text=abc
http://www.example.co.jp/cgi-bin/q.cgi?a=1 M0POST01.HTM post=a=1&b=2 text=ok
http://www.example.co.jp/gone.gif M0NOFILE.GIF nofile gen=99
http://www.example.co.jp/old.html M0OLD001.HTM text=old
delete http://www.example.co.jp/old.html
EOF2
printf '%s\n' $'http://www.example.co.jp/a/b.html\t0A/cache35A1B2C3001A2F4.html' \
  $'http://\x82\xa0.example.jp/\x95\\\\.html\tM0SJIS01.HTM' \
  $'POST\thttp://www.example.co.jp/cgi-bin/q.cgi?a=1\tM0POST01.HTM' \
  $'http://www.example.co.jp/gone.gif\tM0NOFILE.GIF' $'INT\tINT_DiskCacheSize\t5104' \
  $'INT\tINT_DiskCacheNumber\t4' $'INT\tINT_ExternalCacheNameString\tNetscape Internal Disk Cache' |
  sort >"$T/expect"

for bs in 4096 8192; do
  for lo in 1234 4321; do
    for rv in 3 5; do
      out=$T/c-$bs-$lo-$rv
      "$MK" --bsize "$bs" --lorder "$lo" --records "$rv" "$T/m.txt" "$out" || { fail "$out"; continue; }
      "$MK" --dump "$out/FAT.DB" | sort | cmp -s - "$T/expect" || fail "$out: pairs differ"
      [ "$(head -c 16 "$out/FAT.DB" | od -An -tx1 -v | tr -d ' \n')" = \
        "$(printf '0006156100000002%08x%08x' "$lo" "$bs")" ] || fail "$out: header"
      # Record version, then last_modified and last_accessed, little-endian.
      hex_of "$out/FAT.DB" | grep -q "0${rv}00000000e9a43564e9a435" || fail "$out: record"
      [ "$(stat -c '%s %Y %X' "$out/0A/cache35A1B2C3001A2F4.html")" = "5000 900000000 900000100" ] ||
        fail "$out: file size or times"
      [ -e "$out/M0NOFILE.GIF" ] && fail "$out: a nofile entry has a file"
      [ -e "$out/M0OLD001.HTM" ] || fail "$out: a deleted entry's file is gone"
    done
  done
done

"$MK" --bsize 4352 "$T/m.txt" "$T/bad1" 2>/dev/null && fail "bsize 4352 accepted"
mkdir -p "$T/bad2/out" && echo 'http://a/ ../escaped.htm text=x' >"$T/bad2/m.txt"
"$MK" "$T/bad2/m.txt" "$T/bad2/out" 2>/dev/null && fail "a name leaving OUTDIR accepted"
[ -e "$T/bad2/escaped.htm" ] && fail "a file written outside OUTDIR"
[ "$fails" -eq 0 ] || { echo "mkcache self-test: $fails failure(s)" >&2; exit 1; }
echo "mkcache self-test passed"
