# The journal folder is made beside the program on every run, whatever the
# parameters, and the run ends with exit code 0 and no message box.

# Only an exact "/N" or "/n" as parameter 1 suppresses the launch; nothing
# is there to start, so a launch shows the "not found" warning.
for case in "|launch" "/N|none" "/n|none" "/N x|none" "x /N|launch" "-N|launch" "/Nx|launch" \
  "/ N|launch" "/N/n|launch"; do
  args=${case%|*}
  E2E_CASE="journal folder and switch, parameters [$args]"
  program=$(new_client "params-$RANDOM")
  # shellcheck disable=SC2086 # the parameters are split on purpose
  run_program "$program" $args
  expect_eq "$STATUS" 0 "exit code"
  expected=""
  [ "${case#*|}" == launch ] && expected=$(not_found_box "$(dirname "$program")")
  expect_eq "$BOXES" "$expected" "message boxes"
  expect_folder "$(dirname "$program")/Journals"
done

E2E_CASE="existing journal folder is left as it is"
program=$(new_client existing)
mkdir "$(dirname "$program")/Journals"
echo "old journal" >"$(dirname "$program")/Journals/Journal(2020-01-01).txt"
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_file_content "$(dirname "$program")/Journals/Journal(2020-01-01).txt" "old journal"

E2E_CASE="a file named Journals: the folder cannot be made and the run goes on"
program=$(new_client blocked)
echo "not a folder" >"$(dirname "$program")/Journals"
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_file_content "$(dirname "$program")/Journals" "not a folder"

E2E_CASE="a folder path with blanks"
program=$(new_client "My Games/Client Folder")
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_folder "$E2E_ROOT/My Games/Client Folder/Journals"

E2E_CASE="another program name; started through a relative path"
program=$(new_client renamed "Client Launcher")
# Not in a subshell: a check made there would die with it, uncounted.
STATUS="not run"
if pushd "$(dirname "$program")/.." >/dev/null; then
  run_program "renamed/Client Launcher$E2E_EXT" /N
  popd >/dev/null || exit
fi
expect_eq "$STATUS" 0 "exit code"
expect_folder "$E2E_ROOT/renamed/Journals"

if ! on_wine; then
  E2E_CASE="a module path longer than 261 bytes is read whole"
  deep=$(printf 'folder-%040d/' 1 2 3 4 5 6 7)
  program=$(new_client "$deep")
  run_program "$program" /N
  expect_eq "$STATUS" 0 "exit code"
  expect_folder "$E2E_ROOT/${deep}Journals"
  expect_no_folder "$E2E_ROOT/Journals"

fi

E2E_CASE="a read-only program folder: no journal folder, the run goes on"
if user_case_runs; then
  program=$(new_client readonly)
  chmod 0555 "$(dirname "$program")"
  E2E_AS_USER=yes run_program "$program" /N
  expect_eq "$STATUS" 0 "exit code"
  expect_no_folder "$(dirname "$program")/Journals"
fi

if on_wine; then
  # Under Wine's English locale the ANSI code page is 1252. A folder named
  # in Cyrillic letters cannot be shown in it: the program reaches it
  # through its short (8.3) name, which every ANSI program, the client
  # among them, can open. A name that code page 1252 shows keeps its long
  # form, byte for byte.
  for kind in cyrillic latin; do
    name="Игра клиент"
    [ "$kind" == latin ] && name="Café"
    E2E_CASE="a folder named in $kind letters, code page 1252"
    program=$(new_client "cp1252-$kind/$name")
    folder=$(dirname "$program")
    place_recorder "$folder/uo.exe"
    printf 'WindowMode=on\r\nJournalSaveFile=C:\\Old\\Journal.txt\r\n' >"$folder/uo.cfg"
    run_program "$program"
    reached=$(windows_path "$folder")
    if [ "$kind" == cyrillic ]; then
      reached=$("$E2E_RUNNER" winepath -s "$reached" | tr -d '\r\n')
      case "$reached" in
        *'?'* | "$(windows_path "$folder")" | "") fail "no short form to expect: [$reached]" ;;
      esac
    fi
    expect_eq "$STATUS" 0 "exit code"
    expect_eq "$BOXES" "" "message boxes"
    expect_folder "$folder/Journals"
    expect_eq "$(sed -n 2p "$folder/uo.cfg" | tr -d '\r' | iconv -f CP1252 -t UTF-8)" \
      "$(printf 'JournalSaveFile=%s\\Journals\\Journal(%s).txt' "$reached" "$(journal_date_now)")" \
      "journal line"
    expect_eq "$(started_command_line "$folder/uo.exe" | iconv -f CP1252 -t UTF-8)" \
      "\"$reached\\uo.exe\"" "client started"
  done
fi

E2E_CASE="Japanese folder and program names with 0x5C trail bytes"
if on_wine && locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  # Under a Japanese locale Wine uses code page 932. The folder name 表 and
  # the program name ソ each end in the byte 0x5C, which is no separator there.
  program=$(new_client "日本/表" "ソ")
  LC_ALL=ja_JP.UTF-8 run_program "$program" /N
  expect_eq "$STATUS" 0 "exit code"
  expect_folder "$E2E_ROOT/日本/表/Journals"
elif on_wine; then
  skip "no ja_JP.UTF-8 locale"
fi
