# Helpers for the end-to-end suites: scratch client folders, running the
# program (natively, or under Wine through TIDEMARK_RUNNER), and checks that
# count what passed, what failed and what could not run here.

E2E_PASSED=0
E2E_FAILED=0
E2E_SKIPPED=0
E2E_ROOT=$(mktemp -d "${TMPDIR:-/tmp}/tidemark-e2e.XXXXXX")
trap 'umount "$E2E_ROOT/tiny" 2>/dev/null; chmod -R u+w "$E2E_ROOT" 2>/dev/null; rm -rf "$E2E_ROOT"' EXIT

# The program under test, and how it is named inside a client folder.
E2E_PROGRAM=$(realpath "$1")
E2E_HOLD_FILE=$(realpath "$2")
E2E_RECORDER=$(realpath "$3")
E2E_RUNNER=${TIDEMARK_RUNNER:-}
# faketime preloads a library; AddressSanitizer would refuse to start after it.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
E2E_EXT=${E2E_PROGRAM##*/tidemark}

on_wine() { [ -n "$E2E_RUNNER" ]; }

# A Wine that cannot start fails the suite: no case may read that as a result
# of the program (tools/wine-run exits with 125 and says why).
wine_cannot_start() {
  echo "end-to-end: stopped, Wine cannot start ($*)" >&2
  exit 125
}
if on_wine; then "$E2E_RUNNER" --check || wine_cannot_start "see above"; fi

pass() { E2E_PASSED=$((E2E_PASSED + 1)); }
fail() {
  E2E_FAILED=$((E2E_FAILED + 1))
  echo "FAIL [$E2E_CASE]: $*" >&2
}

# A case that cannot run here (a tool, a locale or root's rights missing) is
# counted as skipped, never as nothing. Where every case must run (CI=true, or
# TIDEMARK_E2E_NO_SKIPS=1 as tools/test-all sets it: tools/install-deps
# installed every tool and locale, and it runs as root), a skip fails the run.
skip() {  # why (the case is E2E_CASE)
  E2E_SKIPPED=$((E2E_SKIPPED + 1))
  echo "SKIP [$E2E_CASE]: $*" >&2
}

expect_eq() {  # actual expected what
  if [ "$1" == "$2" ]; then pass; else fail "$3: got [$1], expected [$2]"; fi
}
expect_folder() { if [ -d "$1" ]; then pass; else fail "no folder $1"; fi; }
expect_no_folder() { if [ ! -d "$1" ]; then pass; else fail "unexpected folder $1"; fi; }
expect_file_content() {  # path expected-content
  if [ -f "$1" ] && [ "$(cat "$1")" == "$2" ]; then pass; else fail "$1 does not hold [$2]"; fi
}

# A fresh client folder (below the scratch root, at the relative path given)
# holding a copy of the program under the name given (default: tidemark).
new_client() {
  local folder="$E2E_ROOT/$1" name=${2:-tidemark}
  mkdir -p "$folder"
  cp "$E2E_PROGRAM" "$folder/$name$E2E_EXT"
  printf '%s' "$folder/$name$E2E_EXT"
}

# Runs a program copy with the given arguments. Sets STATUS to its exit code
# and BOXES to its message boxes, one "caption: text [style]" line each (the
# style only under Wine, where the relay trace shows it).
run_program() {
  local program=$1
  shift
  local stderr_file="$E2E_ROOT/stderr"
  local command=()
  if [ -n "${E2E_AS_USER:-}" ]; then
    # An unprivileged user, for whom permissions count; under Wine with a
    # prefix of that user's own.
    command+=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$E2E_ROOT/user")
    on_wine && command+=(WINEPREFIX="$E2E_ROOT/user/wineprefix")
  fi
  on_wine && command+=(env WINEDEBUG=+relay "$E2E_RUNNER")
  # A checker around the native program (valgrind), by TIDEMARK_E2E_WRAPPER.
  # shellcheck disable=SC2206 # the wrapper's words are split on purpose
  on_wine || command+=(${TIDEMARK_E2E_WRAPPER:-})
  "${command[@]}" "$program" "$@" 2>"$stderr_file"
  STATUS=$?
  if on_wine && [ "$STATUS" -eq 125 ]; then wine_cannot_start "$(grep -m1 '^wine-run:' "$stderr_file")"; fi
  if on_wine; then
    BOXES=$(sed -n 's/.*Call user32\.MessageBoxA([0-9a-f]*,[0-9a-f]* L\{0,1\}"\(.*\)",[0-9a-f]* "\(.*\)",\([0-9a-f]*\)).*/\2: \1 [\3]/p' "$stderr_file" |
      sed 's/\\\\/\\/g')  # the trace writes a backslash as two
  else
    BOXES=$(grep -v '^==' "$stderr_file" || true)
    if [ -n "${TIDEMARK_E2E_WRAPPER:-}" ] && grep -q 'ERROR SUMMARY: [1-9]' "$stderr_file"; then
      fail "the checker found errors:"
      grep '^==' "$stderr_file" | head -n 40 >&2
    fi
  fi
}

# Starts the program at each path given, all at once, with no arguments, and
# waits for them all. Sets STATUSES to their exit codes, in order, each
# followed by a blank; the standard error of the Nth (from 0) goes to
# $E2E_ROOT/PREFIX-N.stderr.
run_at_once() {
  local prefix=$1 path pid
  shift
  local pids=()
  for path in "$@"; do
    if on_wine; then
      "$E2E_RUNNER" "$path" 2>"$E2E_ROOT/$prefix-${#pids[@]}.stderr" &
    else
      # shellcheck disable=SC2086 # the wrapper's words are split on purpose
      ${TIDEMARK_E2E_WRAPPER:-} "$path" 2>"$E2E_ROOT/$prefix-${#pids[@]}.stderr" &
    fi
    pids+=($!)
  done
  STATUSES=""
  for pid in "${pids[@]}"; do
    wait "$pid"
    STATUSES+="$? "
  done
}

# Whether cases can run as an unprivileged user (root can make one).
can_run_as_user() { [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; }
# The same for the case E2E_CASE, which is skipped where it cannot.
user_case_runs() { can_run_as_user || { skip "needs root and setpriv to run as an unprivileged user"; false; }; }
if can_run_as_user; then
  chmod 0755 "$E2E_ROOT"
  mkdir -p "$E2E_ROOT/user"
  chown 65534:65534 "$E2E_ROOT/user"
fi

# Puts a stand-in for a started program at the given path: once started, it
# writes its command line to PATH.started.
place_recorder() { mkdir -p "$(dirname "$1")" && cp "$E2E_RECORDER" "$1"; }

# Waits up to 15 seconds for a stand-in to report its start; prints its
# command line, or nothing when it never started.
started_command_line() {
  for _ in $(seq 1 150); do
    if [ -s "$1.started" ]; then cat "$1.started"; return; fi
    sleep 0.1
  done
}

# Whether a stand-in started (checked after the ones expected to start have).
was_started() { [ -e "$1.started" ]; }

# The warning box for a folder without anything to start, as BOXES shows it.
not_found_box() {
  local text
  text="Tidemark: $(windows_path "$1")\\UO.EXE is not found."
  if on_wine; then printf '%s [00000030]' "$text"; else printf '%s' "$text"; fi
}

# Runs a helper program (natively or under Wine), in the background when asked.
run_helper() {
  if on_wine; then "$E2E_RUNNER" "$@"; else "$@"; fi
}

# The Windows form of a POSIX path, as the program sees it: drive Z:.
windows_path() { local path=${1//\//\\}; printf 'Z:%s' "$path"; }

# The uo.cfg line naming the journal file of the given date for a client folder.
journal_line() { printf 'JournalSaveFile=%s\\Journals\\Journal(%s).txt' "$(windows_path "$1")" "$2"; }

# The date a journal started now is filed under: from 23:00 on, tomorrow's.
journal_date_now() { date -d '+1 hour' +%F; }

# The name of the new file a save writes these bytes to: their size and CRC-32 (gzip's).
new_file_name() {
  printf 'uo.cfg.tidemark-save.%s-%s.tmp' "$(stat -c %s "$1")" "$(gzip -c <"$1" | tail -c8 | od -An -N4 -tx4 | tr -d ' ')"
}

expect_same_bytes() {  # actual-file expected-file
  if cmp -s "$1" "$2"; then pass; else
    fail "$1 differs from what was expected:"
    diff <(od -c "$2") <(od -c "$1") | head -n 8 >&2
  fi
}

# The names in a folder, one a line, sorted: to see that nothing was added.
# The show-state, start-count and what-it-sees records of the stand-ins
# (NAME.shown, NAME.started-PID, NAME.sees) are left out.
listing() {
  (cd "$1" && find . -mindepth 1 -maxdepth 1 ! -name '*.shown' ! -name '*.started-*' ! -name '*.sees' |
    LC_ALL=C sort)
}

# How many times a stand-in was started.
start_count() { find "$(dirname "$1")" -maxdepth 1 -name "$(basename "$1").started-*" | wc -l; }

# The show state a stand-in was started with: "1 5" for show state 5.
started_show_state() { cat "$1.shown" 2>/dev/null; }

finish() {
  echo "$E2E_PASSED passed, $E2E_FAILED failed, $E2E_SKIPPED skipped"
  if [ "$E2E_SKIPPED" -gt 0 ] && { [ "${CI:-}" == true ] || [ "${TIDEMARK_E2E_NO_SKIPS:-}" == 1 ]; }; then
    echo "end-to-end: failed: every case must run here (CI=true or TIDEMARK_E2E_NO_SKIPS=1); $E2E_SKIPPED skipped" >&2
    return 1
  fi
  [ "$E2E_FAILED" -eq 0 ]
}
