#!/bin/sh
# Fetches Debian's sdl12-compat (SDL 1.2's API built on SDL 2, as modern
# distributions ship it) and unpacks it into DIR, so that the process tests
# can run a second time on it. Where the system's own SDL 1.2 already is
# sdl12-compat, the first pass ran on it: the second is skipped (status 77).
# Usage: fetch_sdl12compat.sh DIR LIBDIR
set -eu
dir=$1
lib="$dir/$2/libSDL-1.2.so.0"
# Which SDL 1.2 the program loads, as the library reports it (xharness).
version=$(cd "$(dirname "$0")" && /usr/bin/python3 -c '
from support.xharness import linked_sdl_version
print("%d.%d.%d" % linked_sdl_version())')
if [ "${version#1.2.}" -ge 50 ]; then
    echo "skipped: the program's SDL 1.2 is sdl12-compat $version, which the first pass ran on"
    rm -rf "$dir"
    exit 77
fi
[ -e "$lib" ] && exit 0
mkdir -p "$dir"
cd "$dir"
sudo=""
[ "$(id -u)" = 0 ] || sudo=sudo
# A stale package list is the usual reason for a failed download.
apt-get download libsdl1.2-compat 2>/dev/null ||
    { $sudo apt-get update >/dev/null && apt-get download libsdl1.2-compat; }
dpkg -x libsdl1.2-compat_*.deb .
[ -e "$lib" ] || { echo "no $lib in the package" >&2; exit 1; }
echo "sdl12-compat unpacked: $lib"
