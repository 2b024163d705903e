#!/usr/bin/env bash
# Converts the bundled sample cache into demo-out/ and shows the run as a user sees it.
set -euo pipefail
cd "$(dirname "$0")/.."
out=demo-out
mkdir -p "$out"
cache=examples
if [ ! -f "$cache/FAT.DB" ]; then
  # No bundled cache yet: make a small one.
  cache=build/demo-cache
  mkdir -p "$cache"
  build/tools/mkcache/mkcache tools/demo-manifest.txt "$cache" >/dev/null
fi
cat > "$out/VOLARI.INI" <<INI
[DOS32]
DIR=DIR
OPTION=OPTION
DOMAIN=DOMAIN
[DIR]
FATNAME=$(realpath "$cache")/FAT.DB
LOG=LOG.TXT
HISTORY=HISTORY.HTM
INI
cp build/vold32 "$out/vold32"
(cd "$out" && ./vold32 </dev/null)
echo
echo "The converted copy is in $out/; open $out/HISTORY.HTM in a browser."
