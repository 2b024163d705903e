#!/usr/bin/env bash
# Corpus check of the page encoding decision and the line conversion against glibc's iconv, on real
# Japanese text: the Japanese manual pages (Debian's manpages-ja, installed when missing) turned
# into plain text lines. Not a unit test: it takes some seconds. See bench/encoding_check.cpp.
#
#   bench/encoding_corpus.sh [LINES_PER_PAGE]     (default 40)
#
# Environment: BENCH_DIR (scratch directory, default /tmp/volari-encoding). Exit status 1 when a
# page was decided wrongly or a line differs from iconv.
set -euo pipefail

PER_PAGE=${1:-40}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WORK=${BENCH_DIR:-/tmp/volari-encoding}
MAN=/usr/share/man/ja
mkdir -p "$WORK"

if ! dpkg -s manpages-ja >/dev/null 2>&1; then
  echo "installing manpages-ja ..."
  apt-get install -y manpages-ja >/dev/null 2>&1 || {
    apt-get update >/dev/null && apt-get install -y manpages-ja >/dev/null
  }
fi

# Plain text: roff requests dropped, font changes and escapes removed; lines with Japanese kept.
TEXT=$WORK/manpages-ja.txt
find "$MAN" -name '*.gz' | LC_ALL=C sort | xargs zcat |
  LC_ALL=C sed -e "/^[.']/d" -e 's/\\f[BIRP]//g; s/\\f(..//g; s/\\([a-z][a-z]//g' \
    -e 's/\\-/-/g; s/\\e/\\\\/g; s/\\&//g; s/\\s[-+]\?[0-9]//g' |
  LC_ALL=C grep -a '[^ -~	]' >"$TEXT" || true

g++ -std=c++17 -O2 -Wall -Wextra -Werror -I"$ROOT/src" -I"$ROOT/tests" "$ROOT/bench/encoding_check.cpp" \
  "$ROOT/src/output/page_encoding.cpp" "$ROOT/src/output/page_convert.cpp" \
  "$ROOT/src/output/charset_declaration.cpp" "$ROOT/src/output/jis.cpp" -o "$WORK/encoding_check"

"$WORK/encoding_check" "$TEXT" "$PER_PAGE"
