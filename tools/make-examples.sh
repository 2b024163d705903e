#!/usr/bin/env bash
# Regenerates the sample cache examples/cache/ from examples/manifest.txt with tools/mkcache.
#
#   tools/make-examples.sh           rewrite examples/cache/ (commit the result)
#   tools/make-examples.sh OUTDIR    write the cache into OUTDIR instead (created; must be empty
#                                    or hold an earlier cache)
#
# The output is the same bytes on every run. Pages under examples/content/CHARSET/ are written in
# UTF-8 and stored in CHARSET (iconv's name for it) on the way; examples/content/raw/ is used as it
# is. MKCACHE names the mkcache program (default: build/tools/mkcache/mkcache).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
examples="$root/examples"
mkcache="${MKCACHE:-$root/build/tools/mkcache/mkcache}"
out="${1:-$examples/cache}"

if [ ! -x "$mkcache" ]; then
  echo "make-examples: no mkcache at $mkcache (build it: cmake --build build --target mkcache)" >&2
  exit 1
fi
# The manifest's times are Japanese local times.
export TZ=Asia/Tokyo
export LC_ALL=C

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT

# The manifest and its content, with every page in the character set of its directory.
cp "$examples/manifest.txt" "$stage/manifest.txt"
(
  cd "$examples"
  find content -type f | sort | while IFS= read -r f; do
    mkdir -p "$stage/$(dirname "$f")"
    charset="${f#content/}"
    charset="${charset%%/*}"
    if [ "$charset" = raw ]; then
      cp "$f" "$stage/$f"
    elif ! iconv -f UTF-8 -t "$charset" "$f" >"$stage/$f"; then
      echo "make-examples: $f cannot be stored in $charset" >&2
      exit 1
    fi
  done
)

mkdir -p "$stage/cache"
"$mkcache" "$stage/manifest.txt" "$stage/cache"

# Replace the old cache only now that the new one is complete, and only an earlier cache.
mkdir -p "$out"
for f in "$out"/* "$out"/.[!.]*; do
  [ -e "$f" ] || continue
  case "$(basename "$f")" in
    FAT.DB | M*) ;;
    *)
      echo "make-examples: $out holds $(basename "$f"), which no cache holds; not touching it" >&2
      exit 1
      ;;
  esac
done
rm -f "$out"/FAT.DB "$out"/M*
# cp -p keeps the cached files' times, which the conversion copies onto its output.
cp -p "$stage/cache"/* "$out/"
