#!/bin/sh
# Regenerates every asset into a temporary folder and compares the bytes
# with the committed files: the generator is deterministic and the
# committed assets are its output. Usage: regenerate_assets.sh MAKEASSETS SCORE FONT
set -eu
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$1" "$out" "$2" "$3"
"$1" "$out/again" "$2" "$3"
status=0
for f in Zarn_Icon.bmp data/logo.gif data/SDL_Title.bmp data/QN_Title.bmp data/lktheme.mod; do
    cmp "$out/$f" "$out/again/$f" || { echo "not deterministic: $f"; status=1; }
    cmp "$out/$f" "$f" || { echo "differs from the committed file: $f"; status=1; }
done
exit $status
