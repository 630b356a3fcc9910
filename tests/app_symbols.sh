#!/bin/bash
# The scene object defines the hooks, its passes, PlaySound and its state as
# external names, keeps the overlay's rectangles private, and needs exactly
# four names from the program beyond the system's libraries.
set -euo pipefail
obj=$1
status=0

defined=$(nm --defined-only -g "$obj" | awk '{print $3}' | sort)
expected=$(printf '%s\n' _Z6InitGLP11SDL_Surface _Z10Initializev _Z6UpdatejPh \
    _Z4DrawP11SDL_Surface _Z12Deinitializev _Z6Draw2DP11SDL_Surface \
    _Z6Draw3DP11SDL_Surface _Z9PlaySoundPci angle cnt1 cnt2 Lx Ly Ltype Ix Iy IxOff \
    IyOff rot1 rot2 Zarn_Logo SDL_Logo QN_Logo chunk music | sort)
if [ "$defined" != "$expected" ]; then
    echo "external definitions differ (< expected, > found):"
    diff <(echo "$expected") <(echo "$defined") || true
    status=1
fi

# Every undefined name must come from a system library, or be one of the four.
system=$(for so in libSDL-1.2.so.0 libSDL_image-1.2.so.0 libSDL_mixer-1.2.so.0 libGL.so.1 \
                  libm.so.6 libc.so.6; do
    nm -D --defined-only "$(ldconfig -p | awk -v so="$so" '$1 == so && /x86-64/ {print $NF; exit}')"
done | awk '{print $3}' | sed 's/@.*//' | sort -u)
# A weak reference is no need: it stays null where nothing defines it.
needed=$(nm -u "$obj" | awk '$1 == "U" && $2 != "_GLOBAL_OFFSET_TABLE_" {print $2}' | sort | comm -23 - <(echo "$system"))
want=$(printf '%s\n' AppStatus _Z3LogPcz _Z16ToggleFullscreenv _Z20TerminateApplicationv | sort)
if [ "$needed" != "$want" ]; then
    echo "names needed from the program differ; found:"
    echo "$needed"
    status=1
fi
if ! nm -u "$obj" | grep -q __assert_fail; then
    echo "the assertion in Draw was compiled out"
    status=1
fi
[ $status -eq 0 ] && echo "app.o defines $(echo "$defined" | wc -l) names and needs:" $needed
exit $status
