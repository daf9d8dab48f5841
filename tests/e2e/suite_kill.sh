# A run killed at any moment of its save leaves uo.cfg wholly old or wholly
# new, and at most one new file beside it, which the next run removes.
# Natively only (a kill at a chosen moment needs the program itself, not a
# loader), and not under a checker, whose slowness would move every moment.
# The same kills land on the rewrite in place too (a folder that refuses
# new files, for an unprivileged user): there a kill in the middle of the
# writing leaves uo.cfg at its new size, new up to where the writing was
# and old after it; it is never missing nor cut short, and nothing else is
# left. The note counts what the kills left.

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
