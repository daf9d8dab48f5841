# When uo.cfg cannot be read or saved, nothing is lost: the file stays byte
# for byte as it was, no other file is left in the folder, the run ends with
# the abnormal-end box and exit code 3, and nothing is started. Every case has a passing twin (the
# same set-up with room or rights enough), so a broken harness cannot pass.
# (A read that comes up short is injected through the stream in the unit tests.)

# A client folder at the given place holding a uo.cfg of about `size` bytes
# and its journal folder (made beforehand, so the listing does not change).
faulty_client() {  # folder-name [size] [parent]
  local program folder
  program=$(new_client "$1")
  folder=$(dirname "$program")
  mkdir -p "$folder/Journals"
  place_recorder "$folder/uo.exe"
  {
    printf 'WindowMode=on\r\nJournalSaveFile=C:\\Old\\Journal.txt\r\n'
    head -c "${2:-100}" /dev/zero | tr '\0' 'x'
    printf '\r\n'
  } >"$folder/uo.cfg"
  cp "$folder/uo.cfg" "$E2E_ROOT/${1//\//_}.before"
  listing "$folder" >"$E2E_ROOT/${1//\//_}.listing"
  printf '%s' "$program"
}

expect_nothing_lost() {  # folder-name program
  local folder
  folder=$(dirname "$2")
  expect_eq "$STATUS" 3 "exit code"
  expect_same_bytes "$folder/uo.cfg" "$E2E_ROOT/${1//\//_}.before"
  expect_eq "$(listing "$folder")" "$(cat "$E2E_ROOT/${1//\//_}.listing")" "folder listing"
  local caption="tidemark$E2E_EXT"
  if on_wine; then
    expect_eq "$BOXES" "$caption: Abnormal program termination [00012010]" "message boxes"
  else
    expect_eq "$BOXES" "$caption: Abnormal program termination" "message boxes"
  fi
}

expect_saved() {  # folder-name program
  local folder
  folder=$(dirname "$2")
  expect_eq "$STATUS" 0 "exit code (twin)"
  expect_eq "$(started_command_line "$folder/uo.exe")" "\"$(windows_path "$folder")\\uo.exe\"" \
    "client started (twin)"
  expect_eq "$(sed -n 2p "$folder/uo.cfg" | tr -d '\r' | cut -c1-16)" "JournalSaveFile=" "line (twin)"
  if cmp -s "$folder/uo.cfg" "$E2E_ROOT/${1//\//_}.before"; then fail "uo.cfg unchanged (twin)"; else pass; fi
  expect_eq "$(listing "$folder")" \
    "$( (cat "$E2E_ROOT/${1//\//_}.listing" && echo ./uo.exe.started) | LC_ALL=C sort)" \
    "folder listing (twin)"
  expect_eq "$BOXES" "" "message boxes (twin)"
}

# --- uo.cfg is read-only: for root (the program refuses it itself) and for
# an unprivileged user, for whom the system refuses it too --------------------
users=(root)
can_run_as_user && users+=(user)
for who in "${users[@]}"; do
  for twin in no yes; do
    E2E_CASE="fault: read-only uo.cfg, as $who (twin: $twin)"
    program=$(faulty_client "readonly-$who-$twin")
    [ "$twin" == yes ] || chmod 0444 "$(dirname "$program")/uo.cfg"
    as_user=""
    if [ "$who" == user ]; then
      chown -R 65534:65534 "$(dirname "$program")"
      as_user=yes
    fi
    E2E_AS_USER=$as_user run_program "$program"
    if [ "$twin" == yes ]; then expect_saved "readonly-$who-$twin" "$program"; else
      expect_nothing_lost "readonly-$who-$twin" "$program"
    fi
  done
done

# --- uo.cfg is held open with sole access by another program -------------
for twin in no yes; do
  E2E_CASE="fault: uo.cfg held by another program (twin: $twin)"
  program=$(faulty_client "held-$twin")
  folder=$(dirname "$program")
  holder=""
  if [ "$twin" == no ]; then
    (cd "$folder" && run_helper "$E2E_HOLD_FILE" uo.cfg ../held.ready 30000) &
    holder=$!
    for _ in $(seq 1 200); do [ -e "$E2E_ROOT/held.ready" ] && break; sleep 0.05; done
    [ -e "$E2E_ROOT/held.ready" ] || fail "the helper did not take hold of uo.cfg"
  fi
  run_program "$program"
  if [ -n "$holder" ]; then
    pkill -f "hold_file.* uo.cfg" 2>/dev/null
    kill "$holder" 2>/dev/null
    wait "$holder" 2>/dev/null
    rm -f "$E2E_ROOT/held.ready"
  fi
  if [ "$twin" == yes ]; then expect_saved "held-$twin" "$program"; else
    expect_nothing_lost "held-$twin" "$program"
  fi
done

# --- the disk is full: a tiny file system holds the client folder ----------
mount_point="$E2E_ROOT/tiny"
mkdir -p "$mount_point"
program_kib=$((($(stat -c %s "$E2E_PROGRAM") + $(stat -c %s "$E2E_RECORDER")) / 1024 + 16))
for twin in no yes; do
  E2E_CASE="fault: disk full (twin: $twin)"
  # Room for the program and uo.cfg, and for the new uo.cfg only in the twin.
  size_kib=$((program_kib + 256 + 64))
  [ "$twin" == yes ] && size_kib=$((size_kib + 512))
  if ! mount -t tmpfs -o "size=${size_kib}k" tmpfs "$mount_point" 2>/dev/null; then
    echo "note: cannot mount a small file system here; the full-disk case is not run" >&2
    break
  fi
  program=$(faulty_client "tiny/full-$twin" $((256 * 1024)))
  run_program "$program"
  if [ "$twin" == yes ]; then expect_saved "tiny/full-$twin" "$program"; else
    expect_nothing_lost "tiny/full-$twin" "$program"
  fi
  umount "$mount_point"
done

if ! on_wine; then
  # --- a file-size limit: writes come up short --------------------------------
  for twin in no yes; do
    E2E_CASE="fault: file-size limit (twin: $twin)"
    program=$(faulty_client "limit-$twin" $((256 * 1024)))
    limit=64  # blocks of 512 bytes: less than uo.cfg
    [ "$twin" == yes ] && limit=unlimited
    run_program bash -c 'ulimit -f "$1" && exec "$2"' limit "$limit" "$program"
    if [ "$twin" == yes ]; then expect_saved "limit-$twin" "$program"; else
      expect_nothing_lost "limit-$twin" "$program"
    fi
  done

fi

# --- a read-only folder for an unprivileged user: no new file can be made ---
if can_run_as_user; then
  for twin in no yes; do
    E2E_CASE="fault: read-only folder for an unprivileged user (twin: $twin)"
    program=$(faulty_client "user-$twin")
    folder=$(dirname "$program")
    chown -R 65534:65534 "$folder"
    [ "$twin" == yes ] || chmod 0555 "$folder"
    E2E_AS_USER=yes run_program "$program"
    if [ "$twin" == yes ]; then expect_saved "user-$twin" "$program"; else
      expect_nothing_lost "user-$twin" "$program"
    fi
  done
fi
