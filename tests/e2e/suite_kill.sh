# A run killed at any moment of its save leaves uo.cfg wholly old or wholly
# new, and at most one new file beside it, which the next run removes.
# Natively only (a kill at a chosen moment needs the program itself, not a
# loader), and not under a checker, whose slowness would move every moment.
# The same kills land on the rewrite in place too (a folder that refuses
# new files, for an unprivileged user): there a kill in the middle of the
# writing leaves uo.cfg at its new size, new up to where the writing was
# and old after it; it is never missing nor cut short, and nothing else is
# left. The note counts what the kills left.
#
# Under Wine (the stand-in makes no process before a program runs): a run
# killed while a hold on uo.cfg makes it wait leaves no process of the
# program it chose. Journals is made once the program is chosen and asked
# about; the waiting copy must show in the process list.
if on_wine; then
  E2E_CASE="kill: while a hold makes it wait"
  program=$(new_client kill-wait)
  folder=$(dirname "$program")
  place_recorder "$folder/uo.exe"
  printf 'A=1\r\n' >"$folder/uo.cfg"
  "$E2E_RUNNER" "$E2E_HOLD_FILE" "$(windows_path "$folder")\\uo.cfg" "$(windows_path "$folder").held" 30000 &
  holder=$!
  for _ in $(seq 1 300); do [ -e "$folder.held" ] && break; sleep 0.1; done
  "$E2E_RUNNER" "$program" 2>/dev/null &
  pid=$!
  for _ in $(seq 1 300); do [ -d "$folder/Journals" ] && sleep 0.5 && break; sleep 0.1; done
  expect_folder "$folder/Journals"
  # The list is taken before the search, which would find itself.
  processes_of() { local list; list=$(ps -eo pid=,args=); grep -F -e "$folder/$1" -e "$(windows_path "$folder")\\$1" <<<"$list" | awk '{ print $1 }'; }
  [ -n "$(processes_of tidemark.exe)" ] && pass || fail "the waiting copy is not in the process list"
  kill -KILL "$pid" "$holder"
  wait "$pid" "$holder" 2>/dev/null
  for _ in $(seq 1 30); do [ -z "$(processes_of uo.exe)" ] && break; sleep 0.1; done
  left=$(processes_of uo.exe)
  expect_eq "$left" "" "processes of the program left behind"
  # shellcheck disable=SC2086 # one process id a word
  [ -n "$left" ] && kill -KILL $left 2>/dev/null
  was_started "$folder/uo.exe" && fail "the program ran" || pass
fi

if ! on_wine && [ -z "${TIDEMARK_E2E_WRAPPER:-}" ]; then
  kill_modes=(replace)
  E2E_CASE="kill: at random moments of the save (in-place)"
  user_case_runs && kill_modes+=(in-place)
  for mode in "${kill_modes[@]}"; do
    E2E_CASE="kill: at random moments of the save ($mode)"
    program=$(new_client "kill-$mode")
    folder=$(dirname "$program")
    as_user=()
    if [ "$mode" == in-place ]; then
      mkdir -p "$folder/Journals"
      touch "$folder/uo.cfg"
      chown -R 65534:65534 "$folder"
      chmod 0555 "$folder"
      as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$E2E_ROOT/user")
    fi
    {
      seq -f 'Setting%g=value' 1 150000 | sed 's/$/\r/'
      printf 'JournalSaveFile=C:\\Old\\Journal.txt\r\n'
      seq -f 'Later%g=value' 1 150000 | sed 's/$/\r/'
    } >"$E2E_ROOT/kill.old"
    # The new bytes, and how long a whole run takes, from runs left alone.
    cp "$E2E_ROOT/kill.old" "$folder/uo.cfg"
    started=$(date +%s%N)
    for _ in 1 2 3; do cp "$E2E_ROOT/kill.old" "$folder/uo.cfg" && "${as_user[@]}" "$program" /N; done
    run_ms=$((($(date +%s%N) - started) / 3000000))
    cp "$folder/uo.cfg" "$E2E_ROOT/kill.new"
    if cmp -s "$E2E_ROOT/kill.old" "$E2E_ROOT/kill.new"; then fail "a run left alone did not save"; fi
    sizes="$(stat -c %s "$E2E_ROOT/kill.old") $(stat -c %s "$E2E_ROOT/kill.new")"

    runs=0 old=0 new=0 mixed=0 left=0 bad=0
    deadline=$((SECONDS + 60))
    while [ "$runs" -lt 300 ] && [ "$SECONDS" -lt "$deadline" ]; do
      cp "$E2E_ROOT/kill.old" "$folder/uo.cfg"
      "${as_user[@]}" "$program" /N &
      pid=$!
      # Anywhere from the start to a little past a whole run.
      sleep "$(printf '0.%03d' $((RANDOM % (run_ms + run_ms / 4 + 1))))"
      kill -KILL "$pid" 2>/dev/null
      wait "$pid" 2>/dev/null
      runs=$((runs + 1))
      if cmp -s "$folder/uo.cfg" "$E2E_ROOT/kill.old"; then old=$((old + 1));
      elif cmp -s "$folder/uo.cfg" "$E2E_ROOT/kill.new"; then new=$((new + 1));
      elif [ "$mode" == in-place ] && [[ " $sizes " == *" $(stat -c %s "$folder/uo.cfg") "* ]]; then
        mixed=$((mixed + 1))
      else bad=$((bad + 1)); fi
      temporaries=$(find "$folder" -maxdepth 1 -name 'uo.cfg?*' | wc -l)
      [ "$temporaries" -gt 1 ] && bad=$((bad + 1))
      [ "$mode" == in-place ] && [ "$temporaries" -gt 0 ] && bad=$((bad + 1))
      if [ "$temporaries" -eq 1 ]; then
        left=$((left + 1))
        # The next run removes what the killed one left.
        "$program" /N
        expect_eq "$(find "$folder" -maxdepth 1 -name 'uo.cfg?*' | wc -l)" 0 "new files after the next run"
        expect_same_bytes "$folder/uo.cfg" "$E2E_ROOT/kill.new"
      fi
    done
    echo "note: kill test ($mode): $runs runs killed ($old left the old file, $new the new one, $mixed one new up to a point and old after it, $left a new file that the next run removed); a whole run takes ${run_ms} ms" >&2
    expect_eq "$bad" 0 "runs that left uo.cfg neither old nor new (nor, in place, at either size), or a file beside it"
    [ "$old" -gt 0 ] && [ "$new" -gt 0 ] && pass || fail "the kills did not land both before and after the save ($old old, $new new)"
  done
fi
