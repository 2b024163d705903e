#!/usr/bin/env bash
# Whole-run benchmark: times vold32 converting a large generated cache against `cp -p -r` of the
# same cache directory (the floor: the same bytes, one file per entry), then runs the index-scan
# benchmark. See bench/README.md.
#
#   bench/run_bench.sh [ENTRIES]        (default 20000, about 20 KB per entry on average)
#
# Environment: BUILD (build directory, default build-bench; relative to the repository),
# BENCH_DIR (scratch directory, default $BUILD/bench-run), RUNS (timed runs of each, default 5),
# INDEX_BENCH (0 skips the index-scan benchmark), LOCAL_LINKS and MANIFEST (the settings keys,
# default 0), PAGES (links, the default: pages with a link every 100 bytes or so; text: pages
# of mostly text, with a link every 300 bytes or so).
set -euo pipefail

N=${1:-20000}
RUNS=${RUNS:-5}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-build-bench}
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
WORK=${BENCH_DIR:-$BUILD/bench-run}
case $N in '' | *[!0-9]*) echo "usage: $0 [ENTRIES]" >&2; exit 2 ;; esac
[ "$N" -ge 1 ] || { echo "usage: $0 [ENTRIES]" >&2; exit 2; }

# --- build --------------------------------------------------------------------------------------
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
if ! log=$(cmake --build "$BUILD" --target vold32 mkcache -j"${JOBS:-2}" 2>&1); then
  echo "$log" >&2
  exit 1
fi
VOLD=$BUILD/vold32
MKCACHE=$BUILD/tools/mkcache/mkcache
BUILD_TYPE=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$BUILD/CMakeCache.txt")

# --- the cache ----------------------------------------------------------------------------------
# Mix of a browser cache: about 62 % images of 1-20 KB, 38 % pages of 2-40 KB (HTML with EUC-JP
# lines, converted by text mode), one entry in 500 a file of 1-5 MB; 12 hosts with 8 directories
# each, 0 to 3 levels deep; some URLs end in '/'. Deterministic: the same N gives the same cache.
GEN_VERSION=2
PAGES=${PAGES:-links}
case $PAGES in
  links) TEXT_LINES=0.25 A_LINES=0.40 TD_LINES=0.70 SUFFIX= ;;
  text) TEXT_LINES=0.70 A_LINES=0.75 TD_LINES=0.85 SUFFIX=-text ;;
  *) echo "PAGES is links or text" >&2; exit 2 ;;
esac
SRC=$WORK/src-$N$SUFFIX
CACHE=$WORK/cache-$N$SUFFIX
if [ "$(cat "$SRC/done" 2>/dev/null)" != "$GEN_VERSION" ]; then
  echo "writing a cache of $N entries in $CACHE ..."
  rm -rf "$SRC" "$CACHE"
  mkdir -p "$SRC/pages" "$CACHE"
  LC_ALL=C awk -v n="$N" -v src="$SRC" -v text_lines="$TEXT_LINES" -v a_lines="$A_LINES" \
    -v td_lines="$TD_LINES" '
    function rnd() { seed = (seed * 16807) % 2147483647; return seed / 2147483647 }
    function between(lo, hi) { return lo + int(rnd() * (hi - lo + 1)) }
    BEGIN {
      seed = 20250101
      # EUC-JP text: kanji and kana, full-width punctuation, half-width katakana (0x8E pairs).
      ja[0] = "\306\374\313\334\270\354\244\316\245\333\241\274\245\340\245\332\241\274\245\270\244\330\244\350\244\246\244\263\244\275\241\243\272\307\277\267\276\360\312\363\244\317\244\263\244\301\244\351\244\307\244\271\241\243"
      ja[1] = "\262\361\274\322\260\306\306\342\241\241\300\275\311\312\276\360\312\363\241\241\244\252\314\344\244\244\271\347\244\357\244\273\241\241\245\352\245\363\245\257\275\270"
      ja[2] = "\313\334\306\374\244\316\305\267\265\244\244\317\300\262\244\354\241\242\272\307\271\342\265\244\262\271\244\317\306\363\275\275\305\331\244\316\315\275\312\363\244\307\244\271\241\243"
      ja[3] = "\267\307\274\250\310\304\244\313\275\361\244\255\271\376\244\340\301\260\244\313\303\355\260\325\273\366\271\340\244\362\244\252\306\311\244\337\244\257\244\300\244\265\244\244\241\243"
      ja[4] = "\216\266\216\300\216\266\216\305 \216\303\216\336\216\275"
      ja[5] = "\277\267\303\345\276\360\312\363"
      # Page templates: 2-40 KB of HTML, about 40 % of the lines Japanese (PAGES=text: 75 %).
      pages = 120
      for (p = 0; p < pages; p++) {
        f = sprintf("%s/pages/p%03d.html", src, p)
        target = between(2048, 40960)
        printf "<html><head>\n<title>%s %d</title>\n</head><body>\n", ja[5], p > f
        size = 64
        for (line = 0; size < target; line++) {
          r = rnd()
          if (r < text_lines) s = sprintf("<p>%s</p>", ja[line % 4])
          else if (r < a_lines) s = sprintf("<a href=\"page%d.html\">%s</a> %s<br>", line, ja[5], ja[4])
          else if (r < td_lines) s = sprintf("<td><a href=\"/dir%d/item%d.html\">item %d</a></td><td><img src=\"img%d.gif\" width=32 height=32></td>", line % 7, line, line, line)
          else s = "<tr><td align=left valign=top>The quick brown fox jumps over the lazy dog.</td></tr>"
          print s > f
          size += length(s) + 1
        }
        print "</body></html>" > f
        close(f)
      }
      hosts = 12
      for (h = 0; h < hosts; h++) {
        host[h] = (h % 3 == 0) ? sprintf("www.site%d.co.jp", h) : (h % 3 == 1) ? sprintf("home%d.example.ne.jp", h) : sprintf("ftp.univ%d.ac.jp", h)
        for (d = 0; d < 8; d++) {
          depth = d % 4
          path = "/"
          for (k = 0; k < depth; k++) path = path sprintf("%s%d/", (k == 0 ? "dir" : (k == 1 ? "sub" : "img")), (d + k) % 5)
          dir[h, d] = path
        }
      }
      m = src "/manifest.txt"
      print "# whole-run benchmark cache: " n " entries" > m
      for (i = 1; i <= n; i++) {
        h = between(0, hosts - 1)
        d = between(0, 7)
        url = "http://" host[h] dir[h, d]
        t = 880000000 + (i * 7919) % 30000000
        r = rnd()
        if (i % 500 == 250) {
          ext = (i % 1000 == 250) ? "zip" : "jpg"
          print url "big" i "." ext " - gen=" between(1048576, 5242880) " mtime=@" t > m
        } else if (r < 0.62) {
          ext = (r < 0.40) ? "gif" : "jpg"
          print url "img" i "." ext " - gen=" between(1024, 20480) " mtime=@" t > m
        } else if (i % 25 == 0) {
          print url "p" i "/ - file=pages/p" sprintf("%03d", between(0, pages - 1)) ".html mtime=@" t > m
        } else {
          print url "page" i ".html - file=pages/p" sprintf("%03d", between(0, pages - 1)) ".html mtime=@" t > m
        }
      }
      close(m)
    }'
  "$MKCACHE" "$SRC/manifest.txt" "$CACHE" >/dev/null
  echo "$GEN_VERSION" >"$SRC/done"
fi

# --- the program and its settings ---------------------------------------------------------------
# Every run writes into a new empty directory under OUTS; they are all removed only at the end.
# Removing a run's output just before the next run would time the file system instead: an ext4
# without a journal makes every create skip each inode freed less than 60 s ago, or 360 s when
# its inode-table block is dirty again (as it is while files are being created in it); that
# tripled both timings here. So on such a file system a run starts only 370 s after the last
# removal (SETTLE overrides the wait). For the same reason OUTS is marked as a top of directory
# hierarchies (chattr +T): ext4 then spreads each run's directory to a block group of its own
# instead of the parent's, where other programs creating and removing files under the same
# parent (builds, tests) leave freed inodes of their own; that made `cp` five times slower here.
PROG=$WORK/prog
OUTS=$WORK/outputs
mkdir -p "$PROG"
cp "$VOLD" "$PROG/vold32"
write_ini() {
  cat >"$PROG/VOLARI.INI" <<INI
[DOS32]
DIR=DIR
OPTION=OPTION
DOMAIN=DOMAIN
[DIR]
FATNAME=$CACHE/FAT.DB
OUTDIR=$1
LOG=LOG.TXT
HISTORY=HISTORY.HTM
HISTORYSET=3
[OPTION]
DOMAIN_EXT=.DOM
IP_ADDRESS=00
ROOTHTML=INDEX.HTM
SHIFTJIS=1
LOCAL_LINKS=${LOCAL_LINKS:-0}
MANIFEST=${MANIFEST:-0}
INI
}
remove_outputs() {
  if [ -d "$OUTS" ]; then
    rm -rf "$OUTS"
    sync
    date +%s >"$WORK/removed"
  fi
}
settle_default() {
  local dev fstype
  read -r dev fstype < <(findmnt -n -o SOURCE,FSTYPE --target "$WORK" 2>/dev/null || true)
  if [ "$fstype" = ext4 ] && ! ls -d /proc/fs/jbd2/"$(basename "${dev:-none}")"-* >/dev/null 2>&1; then
    echo 370
  else
    echo 0
  fi
}
SETTLE=${SETTLE:-$(settle_default)}
remove_outputs
last=$(cat "$WORK/removed" 2>/dev/null || echo 0)
wait_s=$((last + SETTLE - $(date +%s)))
if [ "$wait_s" -gt 0 ]; then
  echo "waiting ${wait_s} s for the inodes freed by the last removal to age (ext4 without journal) ..."
  sleep "$wait_s"
fi
mkdir -p "$OUTS"
chattr +T "$OUTS" 2>/dev/null || true

# A new empty output directory, its dirty pages of earlier runs written out first.
fresh() {
  mkdir "$1"
  sync
}
run_volari() { (cd "$PROG" && ./vold32 </dev/null >/dev/null 2>>"$WORK/vold32.stderr"); }
run_cp() { cp -p -r "$CACHE" "$1/" 2>>"$WORK/cp.stderr"; }

# One timed run: prints "real user sys" in seconds.
timed() {
  local TIMEFORMAT='%3R %3U %3S'
  { time "$@"; } 2>&1
}

median() { sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# --- warm up: read the cache once, one untimed run of each --------------------------------------
: >"$WORK/vold32.stderr"
: >"$WORK/cp.stderr"
find "$CACHE" -type f -exec cat {} + >/dev/null
write_ini "$OUTS/volari-0"
fresh "$OUTS/volari-0"
(cd "$PROG" && ./vold32 </dev/null >"$WORK/vold32.out" 2>>"$WORK/vold32.stderr")
fresh "$OUTS/cp-0"
run_cp "$OUTS/cp-0"

cache_files=$(find "$CACHE" -type f | wc -l)
cache_bytes=$(du -sb "$CACHE" | cut -f1)
out_files=$(find "$OUTS/volari-0" -type f | wc -l)
out_bytes=$(du -sb "$OUTS/volari-0" | cut -f1)
if [ "$out_files" -lt "$N" ]; then
  echo "warning: vold32 wrote $out_files files for $N entries (see $WORK/vold32.out)" >&2
fi

# --- timed runs, interleaved so that both see the same load -------------------------------------
: >"$WORK/times-volari"
: >"$WORK/times-cp"
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for ((r = 1; r <= RUNS; r++)); do
  write_ini "$OUTS/volari-$r"
  fresh "$OUTS/volari-$r"
  timed run_volari >>"$WORK/times-volari"
  fresh "$OUTS/cp-$r"
  timed run_cp "$OUTS/cp-$r" >>"$WORK/times-cp"
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
remove_outputs

col() { awk -v c="$1" '{ print $c }' "$2" | median; }
cpu() { awk '{ print $2 + $3 }' "$1" | median; }
v_real=$(col 1 "$WORK/times-volari")
c_real=$(col 1 "$WORK/times-cp")
v_cpu=$(cpu "$WORK/times-volari")
c_cpu=$(cpu "$WORK/times-cp")

echo
echo "whole run: $N entries, $cache_files cache files, $((cache_bytes / 1048576)) MB" \
  "($out_files files, $((out_bytes / 1048576)) MB written by vold32)"
echo "machine: $(nproc) cores, $(uname -sr), $(df -T "$WORK" | awk 'NR == 2 { print $1 " " $2 }')," \
  "build $BUILD_TYPE; load $load_before -> $load_after"
best() { awk -v c="$1" '{ print $c }' "$2" | sort -n | head -1; }
row() {
  printf '%-10s %9s %9s %9s %9s %9s   %s\n' "$1" "$(col 1 "$2")" "$(best 1 "$2")" "$(col 2 "$2")" \
    "$(col 3 "$2")" "$(cpu "$2")" "$(awk '{ printf "%s ", $1 }' "$2")"
}
printf '%-10s %9s %9s %9s %9s %9s   %s\n' "" "real (s)" "best (s)" "user (s)" "sys (s)" "u+s (s)" \
  "real of each run"
row vold32 "$WORK/times-volari"
row "cp -p -r" "$WORK/times-cp"
awk -v v="$v_real" -v c="$c_real" -v vb="$(best 1 "$WORK/times-volari")" \
  -v cb="$(best 1 "$WORK/times-cp")" -v vc="$v_cpu" -v cc="$c_cpu" -v n="$RUNS" 'BEGIN {
  printf "ratio      %9.2f %9.2f %29.2f   (medians and best of %d runs, warm page cache)\n",
    v / c, vb / cb, vc / cc, n }'
for f in vold32 cp; do
  if [ -s "$WORK/$f.stderr" ]; then echo "$f wrote to stderr (see $WORK/$f.stderr)"; fi
done

# --- the index scan alone -----------------------------------------------------------------------
if [ "${INDEX_BENCH:-1}" != 0 ]; then
  echo
  echo "index scan:"
  # What the run_index_bench target does, without the build tool's own lines.
  if ! log=$(cmake --build "$BUILD" --target index_bench mkcache -j"${JOBS:-2}" 2>&1); then
    echo "$log" >&2
    exit 1
  fi
  bash "$ROOT/bench/make_bench_cache.sh" "$MKCACHE" "$BUILD/bench/index_bench_cache"
  "$BUILD/bench/index_bench" "$BUILD/bench/index_bench_cache/FAT.DB"
fi
