#!/bin/bash
# Self-test of mkcache: writes caches in every page size / byte order / record version combination
# we rely on, reads them back through the library's own seq() (--dump) and checks the pairs, the
# cache files, their sizes and times, and the header words. Expectations are built here, not by
# mkcache. Usage: selftest.sh PATH/TO/mkcache
set -u
export TZ=Asia/Tokyo LC_ALL=C
MK=${1:?usage: selftest.sh MKCACHE}
T=$(mktemp -d "${TMPDIR:-/tmp}/mkcache-selftest.XXXXXX") || exit 1
trap 'rm -rf "$T"' EXIT
fails=0
fail() {
  echo "FAIL: $*" >&2
  fails=$((fails + 1))
}

hex_of() { od -An -tx1 -v "$1" | tr -d ' \n'; }
hex_str() { printf '%s' "$1" | od -An -tx1 -v | tr -d ' \n'; }

# ---- the cache manifest, with its expected dump lines and files ----
M=$T/cache.txt
EXPECT=$T/expect.txt    # dump lines
FILES=$T/files.txt      # NAME SIZE MTIME  (files that must exist)
: >"$M"; : >"$EXPECT"; : >"$FILES"
live_count=0 live_size=0

# add URL NAME SIZE MTIME MANIFEST-TAIL : an ordinary entry whose URL needs no escaping
add() {
  printf '%s %s %s\n' "$1" "$2" "$5" >>"$M"
  printf '%s\t%s\n' "$1" "$2" >>"$EXPECT"
  printf '%s %s %s\n' "$2" "$3" "$4" >>"$FILES"
  live_count=$((live_count + 1)) live_size=$((live_size + $3))
}

T1=$(date -d '1998-05-06 07:08:09' +%s)
printf '0123456789%.0s' {1..78} | head -c 777 >"$T/content.bin"
add http://www.example.co.jp/index.html INDEX.HTM 10 "$T1" 'text=0123456789 mtime=1998-05-06 07:08:09'
add http://www.example.co.jp/a/b.html 0A/cache35A1B2C3001A2F4.html 5000 900000000 \
  'gen=5000 mtime=@900000000 atime=@900000100'
add http://www.example.co.jp/data.bin M0FILE01 777 883612800 'file=content.bin'
add http://www.example.co.jp/empty.txt M0EMPTY1.TXT 0 883612800 ''
add 'http://www.example.co.jp/%2e%2e/x.html' M0PCT001.HTM 4 883612800 'text=a\sb\n'
for i in $(seq 1 600); do
  n=$(printf 'N%05d.HTM' "$i")
  add "http://host$((i % 7)).example.com/dir/page$i.html" "$n" $((i % 50)) 883612800 \
    "gen=$((i % 50))"
done
# Shift-JIS URL whose second byte of a character is '\'; dump escapes the '\'.
printf '%s\n' 'http://\x82\xa0.example.jp/\x95\x5c.html M0SJIS01.HTM text=abc' >>"$M"
printf 'http://\x82\xa0.example.jp/\x95\\\\.html\tM0SJIS01.HTM\n' >>"$EXPECT"
echo "M0SJIS01.HTM 3 883612800" >>"$FILES"
live_count=$((live_count + 1)) live_size=$((live_size + 3))
# POST key
echo 'http://www.example.co.jp/cgi-bin/q.cgi?a=1 M0POST01.HTM post=a=1&b=2 text=ok' >>"$M"
printf 'POST\thttp://www.example.co.jp/cgi-bin/q.cgi?a=1\tM0POST01.HTM\n' >>"$EXPECT"
echo "M0POST01.HTM 2 883612800" >>"$FILES"
live_count=$((live_count + 1)) live_size=$((live_size + 2))
# A URL longer than any page: the library keeps it as a big pair.
big_url="http://big.example.jp/$(printf 'p%.0s' $(seq 1 9000)).html"
add "$big_url" M0BIG001.HTM 10 883612800 'gen=10'
# Index entry without a file.
echo 'http://www.example.co.jp/gone.gif M0NOFILE.GIF nofile gen=99' >>"$M"
printf 'http://www.example.co.jp/gone.gif\tM0NOFILE.GIF\n' >>"$EXPECT"
live_count=$((live_count + 1)) live_size=$((live_size + 99))
# Replaced and deleted entries: the later put wins; deleted keys vanish, their files stay.
echo 'http://www.example.co.jp/dup.html M0DUP001.HTM text=1' >>"$M"
echo "M0DUP001.HTM 1 883612800" >>"$FILES"
add http://www.example.co.jp/dup.html M0DUP002.HTM 2 883612800 'text=22'
echo 'http://www.example.co.jp/old.html M0OLD001.HTM text=old' >>"$M"
echo 'http://www.example.co.jp/old2.html M0OLD002.HTM gen=20000' >>"$M"
echo "M0OLD001.HTM 3 883612800" >>"$FILES"
echo "M0OLD002.HTM 20000 883612800" >>"$FILES"
echo 'delete http://www.example.co.jp/old.html' >>"$M"
echo 'delete http://host3.example.com/dir/page10.html' >>"$M"
grep -v -F -x "$(printf 'http://host3.example.com/dir/page10.html\tN00010.HTM')" "$EXPECT" \
  >"$EXPECT.tmp" && mv "$EXPECT.tmp" "$EXPECT"
live_count=$((live_count - 1)) live_size=$((live_size - 10))
echo 'delete http://www.example.co.jp/old2.html' >>"$M"
echo "http://big2.example.jp/$(printf 'q%.0s' $(seq 1 5000)) M0BIG002.HTM nofile" >>"$M"
echo "delete http://big2.example.jp/$(printf 'q%.0s' $(seq 1 5000))" >>"$M"
# A generated name.
echo 'http://www.example.co.jp/img/pic.jpeg - gen=300 mtime=@950000000' >>"$M"
live_count=$((live_count + 1)) live_size=$((live_size + 300))
printf 'INT\tINT_DiskCacheSize\t%d\nINT\tINT_DiskCacheNumber\t%d\n' "$live_size" "$live_count" \
  >>"$EXPECT"
printf 'INT\tINT_ExternalCacheNameString\tNetscape Internal Disk Cache\n' >>"$EXPECT"
sort "$EXPECT" -o "$EXPECT"

check_header() {  # FILE BSIZE LORDER
  local h
  h=$(head -c 16 "$1" | od -An -tx1 -v | tr -d ' \n')
  [ "$h" = "$(printf '0006156100000002%08x%08x' "$3" "$2")" ] || fail "$1: header $h"
}

check_cache() {  # OUT BSIZE LORDER RECORDS NAMES
  local out=$1 dump=$1.dump gen name
  "$MK" --dump "$out/FAT.DB" >"$dump" || { fail "dump of $out"; return; }
  gen=$(grep -F 'img/pic.jpeg' "$dump")
  name=${gen#*$'\t'}
  if [ "$5" = unix ]; then
    [[ $name =~ ^[0-9A-F]{2}/cache[0-9A-F]{15}\.jpeg$ ]] || fail "$out: unix name '$name'"
  else
    [[ $name =~ ^M[0-9A-V]{7}\.JPE$ ]] || fail "$out: windows name '$name'"
  fi
  echo "$name 300 950000000" >"$out.files"
  cat "$FILES" >>"$out.files"
  grep -v -F 'img/pic.jpeg' "$dump" | sort | cmp -s - "$EXPECT" ||
    fail "$out: pairs differ: $(grep -v -F 'img/pic.jpeg' "$dump" | sort | diff - "$EXPECT" | head -5 | cut -c1-120)"
  (cd "$out" && cut -d' ' -f1 "$out.files" | xargs stat -c '%n %s %Y') | sort >"$out.stat" ||
    fail "$out: missing cache files"
  sort "$out.files" | cmp -s - "$out.stat" ||
    fail "$out: files differ: $(sort "$out.files" | diff - "$out.stat" | head -5)"
  [ "$(stat -c %X "$out/0A/cache35A1B2C3001A2F4.html")" = 900000100 ] || fail "$out: atime"
  [ -e "$out/M0NOFILE.GIF" ] && fail "$out: nofile entry has a file"
  check_header "$out/FAT.DB" "$2" "$3"
  # Record version word, then last_modified of the a/b.html entry, little-endian.
  hex_of "$out/FAT.DB" | grep -q "0$4000000""00e9a435""64e9a435" ||
    fail "$out: no version $4 record with the set times"
}

for bs in 4096 8192; do
  for lo in 1234 4321; do
    for rv in 3 5; do
      out=$T/c-$bs-$lo-$rv
      "$MK" --bsize "$bs" --lorder "$lo" --records "$rv" "$M" "$out" ||
        { fail "mkcache $bs $lo $rv"; continue; }
      check_cache "$out" "$bs" "$lo" "$rv" windows
    done
  done
done
# Directives in the manifest, overridden by the command line.
{ echo 'bsize 8192'; echo 'lorder 4321'; echo 'names unix'; echo 'records 3'; cat "$M"; } >"$T/d.txt"
"$MK" --records 5 "$T/d.txt" "$T/dir" || fail "mkcache with directives"
check_cache "$T/dir" 8192 4321 5 unix

# Other index name, INT_ keys off.
"$MK" -o index.db --no-intkeys -b 4096 "$M" "$T/u" || fail "mkcache -o"
[ -e "$T/u/index.db" ] && [ ! -e "$T/u/FAT.DB" ] || fail "index name"
[ "$("$MK" --dump "$T/u/index.db" | grep -c '^INT')" = 0 ] || fail "INT_ keys written"

# ---- history files ----
H=$T/hist.txt
cat >"$H" <<'EOF'
http://www.example.com/ title=Example\sPage mtime=@900000000 visits=3
http://\x82\xa0.jp/\x95\x5c title=\x93\xfa\x96\x7b
http://x/frame.html hflags=2
delete http://x/frame.html
EOF
printf 'http://www.example.com/\nhttp://\x82\xa0.jp/\x95\\\\\n' | sort >"$T/hexpect"
for form in 4 3; do
  for lo in 1234 4321; do
    out=$T/h-$form-$lo
    "$MK" --history="$form" --lorder "$lo" "$H" "$out" || { fail "history $form $lo"; continue; }
    "$MK" --dump --history "$out/NETSCAPE.HST" | sort | cmp -s - "$T/hexpect" ||
      fail "history $form $lo: URLs differ"
    check_header "$out/NETSCAPE.HST" 4096 "$lo"
    if [ "$form" = 4 ]; then
      if [ "$lo" = 1234 ]; then w="00e9a43500e9a4350300000001000000"; else w="35a4e90035a4e9000000000300000001"; fi
      want="$w$(hex_str 'Example Page')00$(hex_str 'http://www.example.com/')00"
    else
      want="00e9a435$(hex_str 'http://www.example.com/')00"
    fi
    hex_of "$out/NETSCAPE.HST" | grep -q "$want" || fail "history $form $lo: record bytes"
  done
done

# ---- refusals ----
"$MK" --bsize 4352 "$M" "$T/bad1" 2>/dev/null && fail "bsize 4352 accepted"
"$MK" "$T/none.txt" "$T/bad2" 2>/dev/null && fail "missing manifest accepted"
echo 'http://a/ M1 text=\q' >"$T/bad3.txt"
"$MK" "$T/bad3.txt" "$T/bad3" 2>/dev/null && fail "bad escape accepted"
mkdir -p "$T/bad4/out"
echo 'http://a/ ../escaped.htm text=x' >"$T/bad4/m.txt"
"$MK" "$T/bad4/m.txt" "$T/bad4/out" 2>/dev/null && fail "name leaving OUTDIR accepted"
[ -e "$T/bad4/escaped.htm" ] && fail "file written outside OUTDIR"
echo 'http://a/ ../escaped.htm nofile' >"$T/bad4/m.txt"
"$MK" "$T/bad4/m.txt" "$T/bad4/out" || fail "nofile name leaving OUTDIR refused"
"$MK" --dump "$T/bad4/out/FAT.DB" | grep -q -F "$(printf 'http://a/\t../escaped.htm')" ||
  fail "hostile name not in the index"
echo 'delete http://not.there/' >"$T/bad5.txt"
"$MK" "$T/bad5.txt" "$T/bad5" 2>/dev/null && fail "delete of a missing key accepted"

if [ "$fails" -ne 0 ]; then
  echo "mkcache self-test: $fails failure(s)" >&2
  exit 1
fi
echo "mkcache self-test passed"
