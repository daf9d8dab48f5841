#!/usr/bin/env bash
# The native program reads a registry that Wine itself made: a prefix from
# wineboot (a 64-bit one on a 64-bit loader), the assistant registered with
# "reg add ... /reg:32", as a 32-bit installer would. Wine keeps that value
# under the 64-bit key and makes the 32-bit view's key a registry link to it.
# Usage: wine_prefix_registry.sh TIDEMARK RECORD_START PREFIX
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
wine_run=$here/../../tools/wine-run
program=$(realpath "$1")
recorder=$(realpath "$2")
export WINEPREFIX=$3
key='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\UOAssist.exe'

"$wine_run" --check || { echo "wine_prefix_registry: stopped, Wine cannot start" >&2; exit 125; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-prefix.XXXXXX")
cleanup() {
  WINEDEBUG=-all "$wine_run" reg delete "$key" /reg:32 /f >/dev/null 2>&1
  wineserver -w
  rm -rf "$scratch"
}
trap cleanup EXIT
mkdir -p "$scratch/client/tools"
cp "$program" "$scratch/client/tidemark"
cp "$recorder" "$scratch/client/tools/UOAssist.exe"
cp "$recorder" "$scratch/client/uo.exe"
assistant="Z:${scratch//\//\\}\\client\\tools\\UOAssist.exe"
WINEDEBUG=-all "$wine_run" reg add "$key" /ve /d "$assistant" /reg:32 /f >/dev/null || exit 125
wineserver -w  # the registry is written to its files when the server ends

passed=0 failed=0
expect_eq() {
  if [ "$1" == "$2" ]; then passed=$((passed + 1)); else
    failed=$((failed + 1))
    echo "FAIL: $3: got [$1], expected [$2]" >&2
  fi
}
grep -q -i '^\[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\] ' \
  "$WINEPREFIX/system.reg" && grep -q '^#arch=win64' "$WINEPREFIX/system.reg" &&
  echo "note: a 64-bit prefix; the 32-bit view's App Paths is a registry link"
"$scratch/client/tidemark" 2>"$scratch/stderr"
expect_eq "$?" 0 "exit code"
for _ in $(seq 1 50); do [ -s "$scratch/client/tools/UOAssist.exe.started" ] && break; sleep 0.1; done
expect_eq "$(cat "$scratch/client/tools/UOAssist.exe.started" 2>/dev/null)" "\"$assistant\"" \
  "the registered assistant started"
expect_eq "$(cat "$scratch/client/uo.exe.started" 2>/dev/null)" "" "the client not started"
expect_eq "$(cat "$scratch/stderr")" "" "message boxes"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
