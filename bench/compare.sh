#!/usr/bin/env bash
# Whole-process comparison: Tidemark against starting a do-nothing program,
# its registry read against a run that skips it, and its uo.cfg update
# against copying the same file with a flush to disk (dd conv=fsync) and
# against the sed script a user would write instead; the update's flushes
# (counted by strace) and, where the Windows lane's build is there, the
# start-up under Wine (bench/wine_startup.sh). The commands of a row
# run alternately (A, B, C, A, B, C, ...), each on a fresh copy of its file,
# so that a machine whose speed drifts weighs on all of them alike; each
# round gives a ratio, and the report shows the medians of the times and of
# the per-round ratios. Ratios compare across machines; times hold for the
# machine the report names. Prints a Markdown report.
# The four figures the update is held to come first in the targets: at
# 1,000,000 lines at most 1.5 times the copy and 1.25 times the file's size
# plus 4 MiB of memory, no more flushes than the three the save made before
# its lines were kept as read, and a start-up under Wine within 1.25 times
# the do-nothing program's.
# Usage: bench/compare.sh [largest line count, default 1000000]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
largest=${1:-1000000}

cmake --preset native >/dev/null
cmake --build --preset native --target tidemark >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

cc -O2 -o "$work/run_once" bench/run_once.c
# The floor: a static program that does nothing.
printf 'int main(void) { return 0; }\n' >"$work/noop.c"
cc -O2 -static -o "$work/noop" "$work/noop.c"

# What a user would write instead: replace the line, or append it.
cat >"$work/sed-edit.sh" <<'SCRIPT'
#!/bin/sh
if grep -q '^JournalSaveFile' "$1"; then
  sed -i "s|^JournalSaveFile.*|$2\r|" "$1"
else
  printf '%s\r\n' "$2" >>"$1"
fi
SCRIPT
chmod +x "$work/sed-edit.sh"

client="$work/client"
mkdir -p "$client"
cp build/native/tidemark "$client/"
line="JournalSaveFile=Journals/Journal($(date +%F)).txt"

# A uo.cfg of n lines of about 51 bytes, the journal entry in the middle.
make_config() {
  seq -f 'Setting%07g=a value of the kind a client keeps' 1 "$1" |
    sed "$(($1 / 2))s/.*/JournalSaveFile=C:\\\\Old\\\\Journal.txt/; s/\$/\r/" >"$2"
}

# Runs the commands alternately for the given number of rounds. Each is
# given as FILE::COMMAND, FILE being copied to the client's uo.cfg before
# every run of it ("-" for none). Writes one line a round to $work/rounds:
# the nanoseconds and peak KiB of each command in turn.
alternate() {
  local rounds=$1
  shift
  : >"$work/rounds"
  for ((round = 0; round < rounds; round++)); do
    local row=""
    for run in "$@"; do
      local file=${run%%::*} command=${run#*::}
      [ "$file" = - ] || cp "$file" "$client/uo.cfg"
      # Nothing left for the disk from the last command (the sed script
      # flushes nothing): each run waits only for its own writes.
      sync
      # shellcheck disable=SC2086 # the command's words are split on purpose
      row+="$("$work/run_once" $command) "
    done
    echo "$row" >>"$work/rounds"
  done
}

# The median over the rounds of an awk expression of a round's fields
# ($1 time and $2 memory of the first command, $3 and $4 of the second...).
median() {
  awk "{ print $1 }" "$work/rounds" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}
ms() { awk -v n="$(median "$1")" 'BEGIN { printf "%.2f", n / 1e6 }'; }
ratio() { awk -v n="$(median "$1")" 'BEGIN { printf "%.2f", n }'; }
largest_of() { awk "{ print $1 }" "$work/rounds" | sort -g | tail -n 1; }

verdicts=()
verdict() {  # condition (awk), text
  verdicts+=("$(awk "BEGIN { print ($1 ? \"met\" : \"MISSED\") }"): $2")
}
held=()  # the four figures the update is held to
held_to() {  # condition (awk), text
  held+=("$(awk "BEGIN { print ($1 ? \"met\" : \"MISSED\") }"): $2")
}

echo "# Tidemark benchmark"
echo
echo "Run on $(date -u +%F): $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(uname -sr)," \
  "$(df -T "$work" | awk 'NR == 2 { print $2 }') file system. Commands alternate run by run;" \
  "ratios are medians of the per-round ratios, times medians of the runs (this machine's)."
echo

make_config 40 "$work/small.cfg"
alternate 100 "-::$work/noop" "$work/small.cfg::$client/tidemark /N"
echo "## Start-up: a run with /N on a $(stat -c %s "$work/small.cfg")-byte uo.cfg (100 rounds)"
echo
echo "| do-nothing static program (ms) | tidemark /N (ms) | tidemark / do-nothing |"
echo "|---|---|---|"
echo "| $(ms '$1') | $(ms '$3') | $(ratio '$3 / $1') |"
echo

# The registry read, against a registry that Wine itself made (its system.reg
# runs to megabytes): the same run with /N skips it.
prefix=$top/build/bench-wineprefix
if WINEPREFIX=$prefix tools/wine-run --check >/dev/null 2>&1 && [ -s "$prefix/system.reg" ]; then
  export WINEPREFIX=$prefix
  alternate 100 "$work/small.cfg::$client/tidemark /N" "$work/small.cfg::$client/tidemark"
  unset WINEPREFIX
  echo "## The registry read: a run that looks for the assistant (nothing to start) against one with /N (100 rounds)"
  echo
  echo "Wine's system.reg: $(stat -c %s "$prefix/system.reg") bytes."
  echo
  echo "| tidemark /N (ms) | tidemark (ms) | difference per round (ms) |"
  echo "|---|---|---|"
  difference=$(ms '$3 - $1')
  echo "| $(ms '$1') | $(ms '$3') | $difference |"
  echo
  verdict "$difference <= 5" "the registry read costs at most 5 ms more than a run with /N ($difference ms)"
else
  echo "(No Wine prefix could be made here: the registry read is not measured.)"
  echo
fi

echo "## The uo.cfg update"
echo
echo "| lines | size (MB) | rounds | tidemark (ms) | copy + fsync (ms) | sed script (ms) | tidemark / copy | tidemark / sed | peak memory (MB) | memory / size |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for lines in 1000 10000 100000 1000000; do
  [ "$lines" -le "$largest" ] || break
  make_config "$lines" "$work/orig.cfg"
  size=$(stat -c %s "$work/orig.cfg")
  rounds=$((lines >= 1000000 ? 11 : 31))
  alternate "$rounds" "$work/orig.cfg::$client/tidemark /N" \
    "-::dd if=$work/orig.cfg of=$work/copy.cfg bs=1M conv=fsync status=none" \
    "$work/orig.cfg::$work/sed-edit.sh $client/uo.cfg $line"
  to_sed=$(ratio '$1 / $5')
  to_copy=$(ratio '$1 / $3')
  peak_kb=$(largest_of '$2')
  awk -v n="$lines" -v s="$size" -v r="$rounds" -v t="$(ms '$1')" -v c="$(ms '$3')" -v e="$(ms '$5')" \
    -v tc="$to_copy" -v te="$to_sed" -v p="$peak_kb" 'BEGIN {
    printf "| %d | %.1f | %d | %s | %s | %s | %s | %s | %.1f | %.2f |\n", n, s / 1e6, r, t, c, e, tc, te, p / 1024, p * 1024 / s }'
  verdict "$to_sed < 1" "faster than the sed script at $lines lines ($to_sed)"
  if [ "$lines" -eq 1000000 ]; then
    held_to "$to_copy <= 1.5" "at 1,000,000 lines at most 1.5 times the copy ($to_copy)"
    held_to "$peak_kb * 1024 <= 1.25 * $size + 4 * 1048576" \
      "peak memory at most 1.25 times the file plus 4 MiB at 1,000,000 lines ($(awk -v p="$peak_kb" -v s="$size" 'BEGIN { printf "%.1f MB of %.1f allowed", p / 1024, (1.25 * s + 4 * 1048576) / 1048576 }'))"
  fi
done
echo

# The flushes of one update (of the largest file): each is a wait for the
# disk, and the save makes no more of them than it did before.
if command -v strace >/dev/null; then
  cp "$work/orig.cfg" "$client/uo.cfg"
  strace -f -qq -e trace=fsync,fdatasync,syncfs,sync_file_range -o "$work/flushes" "$client/tidemark" /N
  flushes=$(grep -cE '(fsync|fdatasync|syncfs|sync_file_range)\(' "$work/flushes" || true)
  echo "## Flushes: $flushes in one update of the $(stat -c %s "$work/orig.cfg")-byte file"
  echo
  held_to "$flushes <= 3" "no more flushes than the save's three before ($flushes)"
else
  echo "(No strace here: the flushes are not counted.)"
  echo
fi

# One line of 64 MiB against 64 MiB of short lines.
head -c $((64 << 20)) /dev/zero | tr '\0' 'x' >"$work/long.cfg"
printf '\r\nJournalSaveFile=C:\\Old\\Journal.txt\r\n' >>"$work/long.cfg"
make_config 1400000 "$work/short.cfg"
truncate -s "$(stat -c %s "$work/long.cfg")" "$work/short.cfg"
alternate 7 "$work/long.cfg::$client/tidemark /N" "$work/short.cfg::$client/tidemark /N"
long_to_short=$(ratio '$1 / $3')
echo "## One long line: 64 MiB in one line against 64 MiB of short lines (7 rounds)"
echo
echo "| one line (ms) | short lines (ms) | one line / short lines |"
echo "|---|---|---|"
echo "| $(ms '$1') | $(ms '$3') | $long_to_short |"
echo
verdict "$long_to_short <= 1.5" "one 64 MiB line at most 1.5 times 64 MiB of short lines ($long_to_short)"

# Start-up at the players' size under Wine, the build that ships (its lane's).
source tools/lanes.sh
lane=$(tidemark_windows_lane 2>/dev/null || true)
if [ -n "$lane" ] && [ -x "build/$lane/tidemark.exe" ] &&
  TIDEMARK_WINE_ARCH=$lane tools/wine-run --check >/dev/null 2>&1; then
  bench/wine_startup.sh 40 >"$work/wine" 2>/dev/null
  echo "## Start-up under Wine ($lane lane, 40 rounds)"
  echo
  tail -n 3 "$work/wine"
  echo
  wine_ratio=$(tail -n 1 "$work/wine" | awk -F'|' '{ gsub(/ /, "", $4); print $4 }')
  held_to "$wine_ratio <= 1.25" "start-up under Wine at most 1.25 times the do-nothing program ($wine_ratio)"
else
  echo "(No Windows build or no Wine here: the start-up under Wine is not measured.)"
  echo
fi

echo "## Targets"
echo
for line in "${held[@]}" "${verdicts[@]}"; do echo "- $line"; done
