#!/usr/bin/env bash
# Start-up under Wine: `tidemark.exe /N` on the sample uo.cfg against a
# do-nothing Windows program with the same imports (KERNEL32, USER32,
# ADVAPI32, msvcrt), run alternately (A, B, A, B, ...) in one prefix whose
# wineserver is kept running, as it is on a desktop. Prints the median
# times and the median of the per-round ratios. Uses the Windows build of
# this kernel's lane (tools/lanes.sh); build it first.
# Usage: bench/wine_startup.sh [rounds, default 40] [program, default the lane's build]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
source tools/lanes.sh
lane=$(tidemark_windows_lane)
rounds=${1:-40}
program=$(realpath "${2:-build/$lane/tidemark.exe}")
compiler=x86_64-w64-mingw32-gcc-posix
[ "$lane" = win32 ] && compiler=i686-w64-mingw32-gcc-posix
work=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-wine-bench.XXXXXX")
export WINEPREFIX="$top/build/$lane/wineprefix" TIDEMARK_WINE_ARCH=$lane
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

cat >"$work/noop.c" <<'C'
#include <stdlib.h>
#include <windows.h>
/* Imports what Tidemark imports, calls nothing. */
volatile void* keep[4];
int WINAPI WinMain(HINSTANCE a, HINSTANCE b, LPSTR c, int d) {
  keep[0] = (void*)GetTickCount; keep[1] = (void*)MessageBoxA;
  keep[2] = (void*)RegCloseKey; keep[3] = (void*)malloc;
  (void)a; (void)b; (void)c; (void)d;
  return 0;
}
C
"$compiler" -O2 -mwindows -o "$work/noop.exe" "$work/noop.c" -ladvapi32
mkdir -p "$work/client"
cp "$program" "$work/client/tidemark.exe"
cp sample-client/uo.cfg "$work/client/uo.cfg"
tools/wine-run --check
# The loader itself, as tools/wine-run calls it, without that script's own
# start-up in every run.
loader=/usr/lib/wine/wine64
[ "$lane" = win32 ] && loader=/usr/lib/wine/wine
export WINELOADER=$loader WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver -p  # kept running between runs, as on a desktop

now() { date +%s%N; }
: >"$work/rounds"
for ((round = 0; round < rounds; round++)); do
  a=$(now); "$loader" "$work/noop.exe"; b=$(now)
  "$loader" "$work/client/tidemark.exe" /N; c=$(now)
  echo "$((b - a)) $((c - b))" >>"$work/rounds"
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
noop_ms=$(awk '{ print $1 / 1e6 }' "$work/rounds" | median)
run_ms=$(awk '{ print $2 / 1e6 }' "$work/rounds" | median)
ratio=$(awk '{ print $2 / $1 }' "$work/rounds" | median)
echo "| lane | rounds | do-nothing (ms) | tidemark.exe /N (ms) | tidemark / do-nothing |"
echo "|---|---|---|---|---|"
printf '| %s | %s | %.1f | %.1f | %.3f |\n' "$lane" "$rounds" "$noop_ms" "$run_ms" "$ratio"
