#!/usr/bin/env bash
# Whole-process comparison, with hyperfine: Tidemark against the floor of
# starting a program, and its uo.cfg update against copying the same file
# with a flush to disk (dd conv=fsync) and against the sed script a user
# would write instead. Prints a Markdown report with the machine it ran on.
# Usage: bench/compare.sh [largest line count, default 1000000]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
largest=${1:-1000000}

cmake --preset native >/dev/null
cmake --build --preset native --target tidemark >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

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

# A uo.cfg of n lines of about 48 bytes, the journal entry in the middle.
make_config() {
  seq -f 'Setting%07g=a value of the kind a client keeps' 1 "$1" |
    sed "$(($1 / 2))s/.*/JournalSaveFile=C:\\\\Old\\\\Journal.txt/; s/\$/\r/" >"$2"
}

mean_ms() { awk -F, -v row="$2" 'NR == row + 1 { printf "%.2f", $2 * 1000 }' "$1"; }

echo "# Tidemark benchmark"
echo
echo "Run on $(date -u +%F): $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)," \
  "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(uname -sr)," \
  "$(df -T "$work" | awk 'NR == 2 { print $2 }') file system; hyperfine $(hyperfine --version | cut -d' ' -f2)."
echo

make_config 40 "$work/small.cfg"
hyperfine -N --warmup 5 --runs 100 --export-csv "$work/start.csv" \
  "$work/noop" "$client/tidemark /N" >/dev/null 2>&1
echo "## Start-up: a run with /N on a $(stat -c %s "$work/small.cfg")-byte uo.cfg"
echo
echo "| command | mean (ms) |"
echo "|---|---|"
echo "| do-nothing static program | $(mean_ms "$work/start.csv" 1) |"
echo "| tidemark /N | $(mean_ms "$work/start.csv" 2) |"
echo

echo "## The uo.cfg update"
echo
echo "| lines | size (MB) | tidemark (ms) | copy + fsync (ms) | sed script (ms) | tidemark / copy | tidemark / sed | peak memory (MB) | memory / size |"
echo "|---|---|---|---|---|---|---|---|---|"
previous=""
verdicts=()
for lines in 1000 10000 100000 1000000; do
  [ "$lines" -le "$largest" ] || break
  make_config "$lines" "$work/orig.cfg"
  size=$(stat -c %s "$work/orig.cfg")
  runs=$((lines >= 1000000 ? 10 : 30))
  hyperfine -N --warmup 2 --runs "$runs" --export-csv "$work/update.csv" \
    --prepare "cp $work/orig.cfg $client/uo.cfg" \
    "$client/tidemark /N" \
    "dd if=$work/orig.cfg of=$work/copy.cfg bs=1M conv=fsync status=none" \
    "$work/sed-edit.sh $client/uo.cfg $line" >/dev/null 2>&1
  tidemark=$(mean_ms "$work/update.csv" 1)
  copy=$(mean_ms "$work/update.csv" 2)
  sed_ms=$(mean_ms "$work/update.csv" 3)
  cp "$work/orig.cfg" "$client/uo.cfg"
  peak_kb=$( { /usr/bin/time -f %M "$client/tidemark" /N; } 2>&1 | tail -n 1)
  awk -v n="$lines" -v s="$size" -v t="$tidemark" -v c="$copy" -v e="$sed_ms" -v p="$peak_kb" 'BEGIN {
    printf "| %d | %.1f | %s | %s | %s | %.2f | %.2f | %.1f | %.2f |\n", n, s / 1e6, t, c, e, t / c, t / e, p / 1024, p * 1024 / s }'
  verdicts+=("$(awk -v t="$tidemark" -v e="$sed_ms" -v n="$lines" 'BEGIN { print (t < e ? "met" : "MISSED") ": faster than the sed script at " n " lines" }')")
  verdicts+=("$(awk -v s="$size" -v p="$peak_kb" -v n="$lines" 'BEGIN { print (p * 1024 <= 3 * s || s < 1e6 ? "met" : "MISSED") ": peak memory at most 3 times the size at " n " lines" (s < 1e6 ? " (below 1 MB the program itself dominates)" : "") }')")
  if [ -n "$previous" ]; then
    verdicts+=("$(awk -v a="$previous" -v b="$tidemark" -v n="$lines" 'BEGIN { printf "%s: ten times the lines at most twelve times the time (%d lines: %.1f times)\n", (b <= 12 * a ? "met" : "MISSED"), n, b / a }')")
  fi
  if [ "$lines" -eq 1000000 ]; then
    verdicts+=("$(awk -v t="$tidemark" -v c="$copy" 'BEGIN { printf "%s: at 1,000,000 lines at most twice the copy (%.2f times)\n", (t <= 2 * c ? "met" : "MISSED"), t / c }')")
  fi
  previous=$tidemark
done
echo
echo "## Targets"
echo
for verdict in "${verdicts[@]}"; do echo "- $verdict"; done
