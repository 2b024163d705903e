#!/usr/bin/env bash
# Installs the Debian packages that a build needs, and only those that are missing.
#   tools/setup.sh          what `make build`, `make test` and `make demo` need
#   tools/setup.sh win32    the mingw-w64 cross compilers for `make win32`
#   tools/setup.sh wine     Wine (64-bit only) and the ja_JP.UTF-8 locale, for running the
#                           Windows build (Wine takes its code page, 932, from that locale)
#   tools/setup.sh browser  Chromium, the browser the tests open the copies in
set -euo pipefail

case "${1:-base}" in
  base)
    packages=(make cmake ninja-build g++ clang clang-format libclang-rt-14-dev googletest
              libgtest-dev libgmock-dev libdb1-compat tzdata locales)
    ;;
  win32) packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64) ;;
  wine) packages=(wine wine64 locales) ;;  # never wine32: this kernel cannot run 32-bit programs
  browser) packages=(chromium) ;;
  *) echo "setup: unknown package set '$1' (base, win32, wine, browser)" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# The Japanese locale, made once (about a second) when it is not there.
ensure_ja_locale() {
  [ "${1:-base}" = wine ] || return 0
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: the locale ja_JP.UTF-8 is missing; as root: localedef -i ja_JP -f UTF-8 ja_JP.UTF-8" >&2
    exit 1
  fi
  echo "setup: making the locale ja_JP.UTF-8"
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 </dev/null
}

if [ ${#missing[@]} -eq 0 ]; then
  ensure_ja_locale "${1:-base}"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: missing Debian packages: ${missing[*]}" >&2
  echo "setup: run as root, or install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt_opts=(-q -o DPkg::Lock::Timeout=600 -o Dpkg::Use-Pty=0)
if ! apt-get "${apt_opts[@]}" update </dev/null >/tmp/volari-apt-update.log 2>&1; then
  echo "setup: 'apt-get update' failed; see /tmp/volari-apt-update.log" >&2
  exit 1
fi
if ! apt-get "${apt_opts[@]}" install -y --no-install-recommends "${missing[@]}" </dev/null \
    >/tmp/volari-apt-install.log 2>&1; then
  echo "setup: could not install ${missing[*]}; see /tmp/volari-apt-install.log" >&2
  tail -n 5 /tmp/volari-apt-install.log >&2
  exit 1
fi
ensure_ja_locale "${1:-base}"
