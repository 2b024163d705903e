#!/usr/bin/env bash
# `make demo`: converts the sample cache examples/cache/ into demo-out/ with the built program and
# shows the run as a user sees it. demo-out/ gets a copy of build/vold32 and, beside it, the
# settings file examples/VOLARI.INI (rewritten on every run, with absolute paths where they fit).
# Run it again and the history page gets a second section and the log a second transcript.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
out="$root/demo-out"
program="${VOLD32:-$root/build/vold32}"
mkcache="${MKCACHE:-$root/build/tools/mkcache/mkcache}"

if [ ! -x "$program" ]; then
  echo "demo: $program is missing; run 'make demo' (or 'make build') first" >&2
  exit 1
fi

# Git does not keep file times, and the copy takes its times from the cached files: give them
# back the times of the browsing session, after checking that they are the manifest's bytes.
restore_cache_times() {
  local fresh f name differ=0
  fresh="$(mktemp -d)"
  if ! MKCACHE="$mkcache" bash tools/make-examples.sh "$fresh/cache" >"$fresh/log" 2>&1; then
    echo "demo: could not regenerate the sample cache; its files keep their checkout times:" >&2
    sed 's/^/  /' "$fresh/log" >&2
    rm -rf "$fresh"
    return 0
  fi
  for f in "$fresh"/cache/*; do
    name="$(basename "$f")"
    if cmp -s "$f" "examples/cache/$name"; then
      touch -r "$f" "examples/cache/$name"
    else
      differ=1
    fi
  done
  rm -rf "$fresh"
  if [ "$differ" -ne 0 ]; then
    echo "demo: examples/cache/ is not what examples/manifest.txt makes;" \
      "run tools/make-examples.sh" >&2
  fi
}
restore_cache_times

mkdir -p "$out"
cp "$program" "$out/vold32"

# A settings value holds at most 263 bytes; longer paths stay relative (FATNAME is then taken
# from the output directory, OUTDIR from where the program starts).
bytes() { printf %s "$1" | wc -c; }
fat="$root/examples/cache/FAT.DB"
[ "$(bytes "$fat")" -le 263 ] || fat=""
[ "$(bytes "$out")" -le 263 ] || out_value=""
FAT="$fat" OUTDIR="${out_value-$out}" awk '
  /^FATNAME=/ && ENVIRON["FAT"] != "" { print "FATNAME=" ENVIRON["FAT"] "\r"; next }
  /^OUTDIR=/ && ENVIRON["OUTDIR"] != "" { print "OUTDIR=" ENVIRON["OUTDIR"] "\r"; next }
  { print }
' examples/VOLARI.INI >"$out/VOLARI.INI"

echo "\$ cd demo-out && ./vold32"
cd "$out"
if [ -t 1 ]; then
  # On a terminal the program itself shows its Shift-JIS text in the terminal's character set.
  ./vold32 </dev/null
else
  # Piped or logged: the bytes are Shift-JIS; show them as UTF-8.
  ./vold32 </dev/null | { iconv -c -f CP932 -t UTF-8 || true; }
fi

echo
echo "The converted copy is in demo-out/. Open demo-out/HISTORY.HTM in a browser:"
echo "  file://$out/HISTORY.HTM"
