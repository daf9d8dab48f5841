#!/usr/bin/env bash
# Start-up under Wine: `tidemark.exe /N` on the sample uo.cfg against a
# do-nothing Windows program with the same imports (KERNEL32, USER32,
# ADVAPI32, msvcrt), run alternately (A, B, A, B, ...) in one prefix whose
# wineserver is kept running, as it is on a desktop. Prints the median
# times and the median of the per-round ratios. Uses the Windows build of
# this kernel's lane (tools/lanes.sh); build it first. Other builds given
# after the rounds run in the same alternation (to compare two commits).
# Usage: bench/wine_startup.sh [rounds, default 40] [program ...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
source tools/lanes.sh
lane=$(tidemark_windows_lane)
rounds=${1:-40}
shift || true
programs=("$@")
[ ${#programs[@]} -gt 0 ] || programs=("build/$lane/tidemark.exe")
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
for i in "${!programs[@]}"; do
  mkdir -p "$work/client$i"
  cp "${programs[$i]}" "$work/client$i/tidemark.exe"
  cp sample-client/uo.cfg "$work/client$i/uo.cfg"
done
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
  start=$(now)
  "$loader" "$work/noop.exe"
  row="$(($(now) - start))"
  for i in "${!programs[@]}"; do
    start=$(now)
    "$loader" "$work/client$i/tidemark.exe" /N
    row+=" $(($(now) - start))"
  done
  echo "$row" >>"$work/rounds"
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
noop_ms=$(awk '{ print $1 / 1e6 }' "$work/rounds" | median)
echo "Wine start-up, $lane lane, $rounds alternating rounds; do-nothing program: $noop_ms ms (median)"
echo
echo "| program | tidemark.exe /N (ms) | / do-nothing (median of rounds) |"
echo "|---|---|---|"
for i in "${!programs[@]}"; do
  column=$((i + 2))
  run_ms=$(awk -v c="$column" '{ print $c / 1e6 }' "$work/rounds" | median)
  ratio=$(awk -v c="$column" '{ print $c / $1 }' "$work/rounds" | median)
  printf '| %s | %.1f | %.3f |\n' "${programs[$i]}" "$run_ms" "$ratio"
done
