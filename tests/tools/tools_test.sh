#!/usr/bin/env bash
# Checks of the tools themselves: the choice of Windows lane, that a Wine
# which cannot start stops every harness with its reason instead of passing
# for a run of Tidemark, that the committed icon is what its script draws,
# that the README names only what is in the tree and every folder, support
# header and tool that is, and only tests that are, the shipped texts, the
# quick check of the Windows versions table, and the VM tool's mirror.
set -uo pipefail
shopt -s extglob
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
source tools/lanes.sh
passed=0
failed=0
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-tools-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

expect() {  # what, then a command that must succeed
  local what=$1
  shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $what" >&2; fi
}
contains() { grep -q -F -- "$2" <<<"$1"; }
lacks() { ! grep -q -F -- "$2" <<<"$1"; }

# The icon in the repository comes from tools/draw-icon, byte for byte.
tools/draw-icon "$scratch/icon.ico"
expect "tools/draw-icon draws the committed icon" cmp -s "$scratch/icon.ico" resources/tidemark.ico

# The 32-bit program's own code computes in SSE2 doubles: tools/check-x87
# passes the date-time code built as the release builds it, and fails it
# built with the compiler's x87 default.
release_fp=$(sed -n 's/^set(TIDEMARK_I686_FLOATING_POINT "\(.*\)")$/\1/p' cmake/mingw-i686.cmake)
for fpmath in release 387; do
  flags=($release_fp)
  [ "$fpmath" = 387 ] && flags+=(-mfpmath=387)
  i686-w64-mingw32-g++-posix "${flags[@]}" -O3 -std=c++20 -I. -c support/date_time.cpp -o "$scratch/date_time-$fpmath.obj"
  output=$(tools/check-x87 "$scratch/date_time-$fpmath.obj" 2>&1)
  status=$?
  if [ "$fpmath" = release ]; then
    expect "check-x87: the release's flags ($release_fp) pass" test "$status" -eq 0
  else
    expect "check-x87: x87 arithmetic fails" test "$status" -eq 1
    expect "check-x87: names where" contains "$output" "x87 arithmetic in tidemark::ComposeDate"
  fi
done

# The README against the tree (as a fresh clone has it, with new files not
# yet committed). A name in backticks that holds a "/" is a path in the tree,
# or the tail of one (`win32/` under `platform/`); a bare file name of a
# source kind is some file's name; build outputs and system paths are not
# the tree's. Every folder at the top and under tests/, and every support
# header, has its place in the README.
tree=$(git ls-files --cached --others --exclude-standard)
tree+=$'\n'$(awk -F/ '{ path = ""; for (i = 1; i < NF; i++) { path = path $i "/"; print path } }' \
  <<<"$tree" | sort -u)
in_tree() {  # a pattern: true when some path in the tree is it or ends with it
  local path
  while read -r path; do
    # shellcheck disable=SC2053
    [[ $path == $1 || $path == */$1 ]] && return 0
  done <<<"$tree"
  return 1
}
missing=
for name in $(grep -o '`[^` ]*`' README.md | tr -d '`' | sort -u); do
  case $name in
    build/* | /* | '~'* | *'<'* | M/d/yyyy) continue ;;  # build outputs, system paths, a date pattern
    */*) ;;
    *.@(cpp|h|c|sh|cmake|inc|rc|ico|json|md)) ;;
    *) continue ;;
  esac
  in_tree "$name" || missing+="$name "
done
expect "every path the README names is in the tree (not: $missing)" test -z "$missing"
unlisted=
for folder in $(grep -x '[^/]*/' <<<"$tree" | grep -v -x 'tests/') $(grep -x 'tests/[^/]*/' <<<"$tree"); do
  grep -q -F "| \`$folder\` |" README.md || unlisted+="$folder "
done
expect "the README's folder table names every folder (not: $unlisted)" test -z "$unlisted"
unnamed=
for header in support/*.h; do
  grep -q -F "\`$(basename "$header")\`" README.md || unnamed+="$header "
done
expect "the README names every support header (not: $unnamed)" test -z "$unnamed"
untabled=
# A folder under tools/ is one tool, named by the folder.
for tool in $(grep '^tools/' <<<"$tree" | grep -v '/$' | sed 's|^\(tools/[^/]*/\).*|\1|' | sort -u); do
  grep -q -F "| \`$tool\` |" README.md || untabled+="$tool "
done
expect "the README's tools table names every tool (not: $untabled)" test -z "$untabled"
# Every test the README names in parentheses after a test file is in that
# file, by that name; every test name it gives ctest is one of
# tests/CMakeLists.txt. A README with a name changed fails.
unfound_tests() {  # README: the names not found
  perl -ne 'while (/`([\w*]+\.(?:cpp|sh))` \(([^()]*)\)/g) { my ($f, $n) = ($1, $2);
    print "$f\t$1\n" while $n =~ /`([^`]+)`/g }' "$1" | while IFS=$'\t' read -r file name; do
    path=$(git ls-files "*/$file" | head -n 1)
    grep -q -F -- "$name" "${path:-/dev/null}" || echo -n "$file: $name; "; done
  for name in $(sed -n '/^The test names are those of/,/^$/p' "$1" | grep -o '`[a-z0-9_]*`' | tr -d '`'); do
    grep -q -E "(add_test\(NAME|tidemark_unit_suite\() ?$name( |$)" tests/CMakeLists.txt || echo -n "ctest: $name; "; done
}
expect "the README's test names are tests (not: $(unfound_tests README.md))" test -z "$(unfound_tests README.md)"
sed 's/TakeOneTurn`/TakeTwoTurns`/; s/`registry_keys`/`registry_key`/' README.md >"$scratch/README.md"
expect "a README with a test renamed fails" test "$(unfound_tests "$scratch/README.md")" == \
  "turn_test.cpp: CopiesWithDifferentRightsTakeTwoTurns; ctest: registry_key; "

# The lane plan, forced to "no 32-bit" and as this machine has it.
plan=$(TIDEMARK_NO_32BIT=1 tidemark_lane_plan)
expect "forced: win32 skipped with its cause" contains "$plan" "win32 skip TIDEMARK_NO_32BIT=1"
expect "forced: win64 runs" contains "$plan" "win64 run"
if tidemark_kernel_runs_32bit; then expected="win32 run"; else expected="win32 skip this kernel runs no 32-bit programs"; fi
expect "unforced: the plan follows the kernel" test "$(tidemark_lane_plan | head -n 1)" == "$expected"
expect "the lane that runs the program follows the plan" \
  test "$(TIDEMARK_NO_32BIT=1 tidemark_windows_lane)" == win64

# The sample run in the 64-bit lane names it, runs the program and leaves
# nothing in the temporary folder.
mkdir "$scratch/tmp"
output=$(TMPDIR=$scratch/tmp TIDEMARK_NO_32BIT=1 tools/run-sample 2>&1)
status=$?
expect "sample run, forced 64-bit: succeeds" test "$status" -eq 0
expect "sample run, forced 64-bit: names the lane" contains "$output" \
  "== Running: tidemark.exe (64-bit build: TIDEMARK_NO_32BIT=1"
expect "sample run, forced 64-bit: the client was started" contains "$output" "uo.exe (the stand-in)"
# Wine's server keeps a folder there for the prefix, named in the prefix.
left=$(ls -A "$scratch/tmp" | grep -v -x -F -f build/win64/wineprefix/wineserver)
expect "sample run: nothing left in the temporary folder ($left)" test -z "$left"

# Every text that ships, in the zip as tools/make-release makes it: CR LF,
# plain ASCII, at most 76 columns; a licence that breaks all three fails
# on each. (The program here is the 64-bit build: only the texts count.)
mkdir -p "$scratch/release/bad"
tools/make-release build/win64/tidemark.exe build/win64/tools/windows-check/tidemark-check.exe \
  x86_64-w64-mingw32-strip "$scratch/release/t.zip" >/dev/null
output=$(tools/check-release --texts "$scratch/release/t.zip" 2>&1)
expect "release texts: the shipped ones pass ($output)" test $? -eq 0
# A release without a report from a real Windows says so in its notes; a
# report that is not from a real Windows is refused.
expect "release notes: no report, said" grep -q '^No report from a real Windows' "$scratch/release/release-notes.txt"
printf 'Summary: tidemark-check t.zip on Wine 8.0: 1 agree\n' >"$scratch/report.txt"
expect "release: a report from Wine is refused" bash -c "! tools/make-release build/win64/tidemark.exe \
  build/win64/tools/windows-check/tidemark-check.exe x86_64-w64-mingw32-strip '$scratch/release/t.zip' \
  '$scratch/report.txt' 2>/dev/null"
(cd "$scratch/release/bad" && unzip -q ../t.zip &&
  { tr -d '\r' <LICENSE.txt; printf '%077d \xe9\n' 0; } >LICENSE.new && mv LICENSE.new LICENSE.txt &&
  zip -q ../bad.zip ./*)
output=$(tools/check-release --texts "$scratch/release/bad.zip" 2>&1)
expect "release texts: a licence with LF ends, a long line and a non-ASCII byte fails on each ($output)" test \
  "$(grep -c 'FAIL: LICENSE.txt: \(Windows line ends\|lines at most 76\|plain ASCII\)' <<<"$output")" -eq 3

# A Windows call of platform/win32/ without its row in
# tools/windows-versions.txt fails the quick check.
tools/check-windows-versions >/dev/null
expect "windows-versions: every call has its row" test $? -eq 0
grep -v '^kernel32 *CreateFileA ' tools/windows-versions.txt >"$scratch/versions.txt"
output=$(tools/check-windows-versions "$scratch/versions.txt" 2>&1)
expect "windows-versions: a missing row fails, named ($output)" contains "$output" "for: CreateFileA"

# The VM tool's mirror is the first "deb" source for bookworm in apt's own
# configuration, in either form; disabled, source-only and other suites'
# entries are passed over.
mkdir -p "$scratch/apt/sources.list.d" && printf 'Dir::Etc "%s/apt";\n' "$scratch" >"$scratch/apt.conf"
printf '%s\n' '# deb file:/no bookworm main' 'deb-src file:/no bookworm main' \
  'deb [signed-by=/k.gpg] file:/no bookworm-security main' >"$scratch/apt/sources.list"
printf '%s\n' 'Types: deb' 'URIs: file:/no' 'Suites: bookworm' 'Enabled: no' '' 'Types: deb' \
  'URIs: file:/deb822' 'Suites: bookworm-updates bookworm' >"$scratch/apt/sources.list.d/debian.sources"
mirror() { APT_CONFIG=$scratch/apt.conf tools/win32-lane-in-vm --mirror 2>/dev/null; }
expect "VM mirror: a deb822 source" test "$(mirror)" == file:/deb822
echo 'deb [arch=amd64 signed-by=/k.gpg] file:/one-line bookworm main' >>"$scratch/apt/sources.list"
expect "VM mirror: a one-line source" test "$(mirror)" == file:/one-line

# A loader that is missing, and one that exists but cannot run here (as the
# 32-bit loader on a kernel without 32-bit support).
printf '#!/bin/sh\necho "cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$scratch/broken-loader"
chmod +x "$scratch/broken-loader"
for loader in "$scratch/no-such-loader" "$scratch/broken-loader"; do
  name=$(basename "$loader")
  output=$(WINELOADER=$loader tools/run-sample 2>&1)
  status=$?
  expect "sample run, $name: fails" test "$status" -ne 0
  expect "sample run, $name: says Wine cannot start" contains "$output" "Wine cannot start"
  expect "sample run, $name: reports no run" lacks "$output" "== Exit code"
  WINEPREFIX=$scratch/prefix WINELOADER=$loader tools/wine-run --check 2>/dev/null
  expect "wine-run, $name: exit code 125" test $? -eq 125
  output=$(WINELOADER=$loader TIDEMARK_RUNNER=$top/tools/wine-run TIDEMARK_WINE_ARCH=win64 \
    bash tests/e2e/run_all.sh build/win64/tidemark.exe build/win64/tests/hold_file.exe \
    build/win64/tests/record_start.exe 2>&1)
  status=$?
  expect "end-to-end suite, $name: fails" test "$status" -eq 125
  expect "end-to-end suite, $name: says Wine cannot start" contains "$output" "Wine cannot start"
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
