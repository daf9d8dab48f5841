#!/usr/bin/env bash
# The check program for a real Windows, under Wine, as built in BUILD (the
# win32 or win64 lane's folder): a run stopped part-way (every process of
# the prefix killed) is cleaned up by the next; that run goes to its end and
# reports every row of the answers table and every situation, those that
# need User Account Control as "not available here", never as a pass; no
# run leaves anything behind (the scratch folder, the folder under Program
# Files, the VirtualStore, the compatibility values); and a row made to
# expect a wrong answer (/wrong) is reported as differing, with exit code 1.
# A Wine that cannot start fails here, as every run of the program does.
# Usage: tests/tools/windows_check_test.sh BUILD
set -uo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "$1")
export WINEPREFIX=$build/wineprefix TIDEMARK_WINE_ARCH=$(basename "$build")
passed=0
failed=0
expect() {  # what, then a command that must succeed
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what" >&2; fi
}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-windows-check.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cp "$build/tools/windows-check/tidemark-check.exe" "$build/tidemark.exe" "$scratch/"
run() {  # the check's arguments; sets status, the report in $scratch/out.txt
  "$top/tools/wine-run" "$scratch/tidemark-check.exe" "$@" >"$scratch/out.txt" 2>"$scratch/err.txt"
  status=$?
  [ "$status" -ne 125 ] || { cat "$scratch/err.txt" >&2; exit 1; }
}
# What a run may leave: the folders and the compatibility values it makes.
left() {
  (cd "$WINEPREFIX/drive_c" && ls -d Program\ Files*/TidemarkCheck users/*/AppData/Local/VirtualStore 2>/dev/null)
  "$top/tools/wine-run" reg query 'HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags' /s 2>&1 |
    tr -d '\r' | grep -v '^$'
  ls "$scratch" | grep -v -x -e tidemark-check.exe -e tidemark.exe -e out.txt -e err.txt \
    -e tidemark-check-report.txt
}
"$top/tools/wine-run" --check || exit 1
before=$(left)

# Killed once its folder under Program Files is made and a situation there
# has set a compatibility value.
"$top/tools/wine-run" "$scratch/tidemark-check.exe" >/dev/null 2>&1 &
for _ in $(seq 1 300); do
  ls "$WINEPREFIX"/drive_c/Program\ Files*/TidemarkCheck/admin-yes/uo.exe.record >/dev/null 2>&1 && break
  sleep 0.1
done
wineserver -k
wait
expect "a stopped run leaves its record" test -s "$scratch/tidemark-check-leftovers.txt"

run
report=$(cat "$scratch/out.txt")
expect "a run goes to its end: exit code 0 ($status)" test "$status" -eq 0
expect "it removes what the stopped run left" grep -q -F "Removed, left by an earlier run" <<<"$report"
missing=
while read -r situation; do
  grep -q -F "[agree] The answers table, in a scratch folder: $situation" <<<"$report" ||
    missing+="$situation; "
done < <(sed -n 's/^    {"\([^"]*\)".*/\1/p' "$top/tools/windows-check/answers_table.cpp")
expect "every table row agrees with Wine's answer (not: $missing)" test -z "$missing"
expect "... and there are as many as the table has" test "$(grep -c '^\[agree\] The answers table' <<<"$report")" \
  -eq "$(grep -c '^    {"' "$top/tools/windows-check/answers_table.cpp")"
missing=
while read -r title; do
  rows=$(grep -c -F "] Tidemark in $title: " <<<"$report")
  [ "$rows" -ge 8 ] || missing+="$title ($rows rows); "
done < <(sed -n 's/^    {"\([^"]*\)".*/\1/p' "$top/tools/windows-check/situations.cpp")
expect "every situation reports its rows (not: $missing)" test -z "$missing"
expect "the plain folder's rows agree" test "$(grep -c '^\[agree\] Tidemark in a plain folder' <<<"$report")" -eq 8
passing=$(grep -E '^\[(agree|noted)\] (Tidemark in Program|.*User Account Control|A rename|After the runs|The check.s own)' <<<"$report")
expect "what needs User Account Control is never a pass ($passing)" test -z "$passing"
expect "... but not available here" grep -q '^\[not available here\] Tidemark in Program Files' <<<"$report"
row() { grep -A2 -F "$1" <<<"$report" | sed -n 3p; }  # a row's "got" line
expect "an absent ConsentPromptBehaviorUser is a default" grep -q -F "here: absent (Windows' default)" <(row ConsentPromptBehaviorUser)
expect "an elevated start given no folder says which it got" grep -q -E "here: .+ \((the check's current folder then|the system folder)\)" <(row "start given none")
expect "the report is written beside the program" \
  cmp -s <(tr -d '\r' <"$scratch/tidemark-check-report.txt") <(sed '$d' "$scratch/out.txt" | tr -d '\r')
expect "nothing is left behind" test "$(left)" == "$before"

run /wrong
first=$(sed -n 's/^    {"\([^"]*\)".*/\1/p' "$top/tools/windows-check/answers_table.cpp" | head -n 1)
expect "a row expecting a wrong answer: exit code 1 ($status)" test "$status" -eq 1
expect "... reported as differing" grep -q -F "[DIFFER] The answers table, in a scratch folder: $first" "$scratch/out.txt"
expect "... and only it" grep -q ': .* 1 differ,' <(grep '^Summary' "$scratch/out.txt")
expect "nothing is left behind after it either" test "$(left)" == "$before"

echo "windows check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
