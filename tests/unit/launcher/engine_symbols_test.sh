#!/usr/bin/env bash
# engine_symbols_test.sh PROGRAM ENGINE FRONT_ARCHIVE...
#
# The front program and the engine library must share one copy of every
# library with process-wide state (the loaded-forms count, the event log,
# the proxy decision, the temporary folder). The engine library must define
# no symbol those libraries define (weak ones, inline functions and template
# instances, are bound to the program's copy by the dynamic loader and may
# be in both), and the program must export every kest symbol the library
# leaves undefined. And the program itself needs none of the engine's
# libraries: the dynamic loader would map them all before the splash.
set -euo pipefail
program=$1 engine=$2
shift 2

engine_libs=$(readelf -d "$program" | grep -E 'NEEDED.*libQt6(WebEngine|Quick)' || true)
if [ -n "$engine_libs" ]; then
  echo "the program needs the browser engine's libraries:"
  printf '%s\n' "$engine_libs"
  exit 1
fi

front=$(nm --defined-only --extern-only "$@" 2>/dev/null | awk 'NF == 3 && $2 ~ /^[TDBRG]$/ { print $3 }' | sort -u)
[ -n "$front" ] || { echo "no symbols in the front libraries: $*"; exit 1; }
defined=$(nm -D --defined-only "$engine" | awk '{ print $3 }' | sort -u)
both=$(comm -12 <(printf '%s\n' "$front") <(printf '%s\n' "$defined"))
if [ -n "$both" ]; then
  echo "libkest-engine.so holds its own copy of:"
  printf '%s\n' "$both" | c++filt
  exit 1
fi

needed=$(nm -D --undefined-only "$engine" | awk '$2 ~ /^_ZN?K?4kest/ { print $2 }' | sort -u)
[ -n "$needed" ] || { echo "libkest-engine.so needs nothing of the program's: is it linked alone?"; exit 1; }
exported=$(nm -D --defined-only "$program" | awk '{ print $3 }' | sort -u)
missing=$(comm -23 <(printf '%s\n' "$needed") <(printf '%s\n' "$exported"))
if [ -n "$missing" ]; then
  echo "the program does not export what libkest-engine.so needs:"
  printf '%s\n' "$missing" | c++filt
  exit 1
fi
echo "one copy: $(wc -l <<<"$needed") kest symbols of libkest-engine.so bind to the program"
