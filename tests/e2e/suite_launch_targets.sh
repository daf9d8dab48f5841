# What is started: the registered assistant, else uomon.exe, else uo.exe, or
# the "not found" warning. Each stand-in writes the command line it got.

ASSISTANT_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\UOAssist.exe'

# Registers the assistant's path as the key's default value (type REG_SZ
# unless given): natively in a registry file the stand-in reads, under Wine in
# the suite's prefix.
register_assistant() {  # value [REG_SZ|REG_EXPAND_SZ|REG_DWORD]
  local type=${2:-REG_SZ}
  if on_wine; then
    WINEDEBUG=-all "$E2E_RUNNER" reg add "$ASSISTANT_KEY" /ve /t "$type" /d "$1" /reg:32 /f >/dev/null 2>&1
    return
  fi
  local backslash='\'
  local escaped=${1//"$backslash"/"$backslash$backslash"}
  local data="\"$escaped\""
  [ "$type" == REG_EXPAND_SZ ] && data="str(2):\"$escaped\""
  [ "$type" == REG_DWORD ] && data=$(printf 'dword:%08x' "$1")
  mkdir -p "$E2E_ROOT/registry"
  {
    printf 'WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n#arch=win32\n\n'
    printf '[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\UOAssist.exe] 1700000000\n'
    printf '#time=1d9a0b0c0d0e0f0\n@=%s\n\n' "$data"
  } >"$E2E_ROOT/registry/system.reg"
}

unregister_assistant() {
  if on_wine; then
    WINEDEBUG=-all "$E2E_RUNNER" reg delete "$ASSISTANT_KEY" /reg:32 /f >/dev/null 2>&1
  else
    rm -f "$E2E_ROOT/registry/system.reg"
  fi
}
on_wine || export WINEPREFIX="$E2E_ROOT/registry"

quoted() { printf '"%s"' "$(windows_path "$1")"; }

# A client folder with the stand-ins asked for; prints the program's path.
launch_client() {  # name [assistant] [monitor] [client]
  local program folder
  program=$(new_client "$1")
  folder=$(dirname "$program")
  [ "${2:-}" == assistant ] && place_recorder "$folder/tools/UOAssist.exe"
  [ "${3:-}" == monitor ] && place_recorder "$folder/uomon.exe"
  [ "${4:-}" == client ] && place_recorder "$folder/uo.exe"
  printf '%s' "$program"
}

# Started with its path in quotes, and asked to show its window normally
# (show state 5, SW_SHOW).
expect_started() {  # stand-in path
  expect_eq "$(started_command_line "$1")" "$(quoted "$1")" "$(basename "$1") started"
  expect_eq "$(started_show_state "$1")" "1 5" "$(basename "$1") show state"
}
expect_not_started() {  # stand-in path
  if was_started "$1"; then fail "$(basename "$1") was started"; else pass; fi
}
# The current folder a stand-in was started in (after it has started).
started_folder() { sed -n 3p "$1.sees"; }

E2E_CASE="launch: the registered assistant, and only it"
program=$(launch_client assistant-first assistant monitor client)
folder=$(dirname "$program")
register_assistant "$(windows_path "$folder/tools/UOAssist.exe")"
run_program "$program"
expect_eq "$STATUS" 0 "exit code"
expect_started "$folder/tools/UOAssist.exe"
expect_eq "$(started_folder "$folder/tools/UOAssist.exe")" "$(windows_path "$PWD")" "its folder"
expect_not_started "$folder/uomon.exe"
expect_not_started "$folder/uo.exe"
expect_eq "$BOXES" "" "message boxes"

E2E_CASE="launch: a stale registration falls through to the monitor"
program=$(launch_client stale-monitor "" monitor client)
folder=$(dirname "$program")
register_assistant "$(windows_path "$folder/tools/UOAssist.exe")"
run_program "$program"
expect_started "$folder/uomon.exe"
expect_not_started "$folder/uo.exe"

E2E_CASE="launch: a stale registration and no monitor: the client"
program=$(launch_client stale-client "" "" client)
folder=$(dirname "$program")
register_assistant "$(windows_path "$folder/tools/UOAssist.exe")"
run_program "$program"
expect_started "$folder/uo.exe"

for type in REG_DWORD REG_EXPAND_SZ; do
  E2E_CASE="launch: a default value of type $type is no registration here"
  program=$(launch_client "odd-$type" assistant "" client)
  folder=$(dirname "$program")
  if [ "$type" == REG_DWORD ]; then
    register_assistant 1 REG_DWORD
  else
    # Used as stored: "%TIDEMARK_E2E%" is never expanded, so no such file.
    register_assistant "%TIDEMARK_E2E%\\UOAssist.exe" REG_EXPAND_SZ
  fi
  TIDEMARK_E2E="$(windows_path "$folder/tools")" run_program "$program"
  expect_eq "$STATUS" 0 "exit code"
  expect_started "$folder/uo.exe"
  expect_not_started "$folder/tools/UOAssist.exe"
done
unregister_assistant

# The monitor and the client start in the client's folder, wherever
# Tidemark was started from (here the suite's own folder).
E2E_CASE="launch: no registration, the client alone, without arguments, in its folder"
program=$(launch_client client-only "" "" client)
folder=$(dirname "$program")
run_program "$program" "" extra
expect_started "$folder/uo.exe"
expect_eq "$(started_folder "$folder/uo.exe")" "$(windows_path "$folder")" "its folder"
expect_eq "$BOXES" "" "message boxes"

E2E_CASE="launch: the monitor before the client, no warning, in the client's folder"
program=$(launch_client monitor-only "" monitor "")
folder=$(dirname "$program")
run_program "$program"
expect_started "$folder/uomon.exe"
expect_eq "$(started_folder "$folder/uomon.exe")" "$(windows_path "$folder")" "its folder"
expect_eq "$BOXES" "" "message boxes"

E2E_CASE="launch: nothing to start: the warning, then exit code 0"
program=$(launch_client nothing)
run_program "$program"
expect_eq "$STATUS" 0 "exit code"
expect_eq "$BOXES" "$(not_found_box "$(dirname "$program")")" "message boxes"

E2E_CASE="launch: /N starts nothing and warns of nothing"
program=$(launch_client switched assistant monitor client)
folder=$(dirname "$program")
register_assistant "$(windows_path "$folder/tools/UOAssist.exe")"
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_eq "$BOXES" "" "message boxes"
sleep 1
for stand_in in tools/UOAssist.exe uomon.exe uo.exe; do expect_not_started "$folder/$stand_in"; done
unregister_assistant

E2E_CASE="launch: a registered path with blanks starts that program, not a decoy"
program=$(launch_client blanks "" "" client)
folder=$(dirname "$program")
place_recorder "$folder/Program Files/Game Tools/UOAssist.exe"
place_recorder "$folder/Program.exe"  # what Windows tries first for an unquoted path
register_assistant "$(windows_path "$folder/Program Files/Game Tools/UOAssist.exe")"
run_program "$program"
expect_started "$folder/Program Files/Game Tools/UOAssist.exe"
sleep 1
expect_not_started "$folder/Program.exe"
expect_not_started "$folder/uo.exe"
unregister_assistant

E2E_CASE="launch: a client that is no program: the start fails and says so"
program=$(launch_client not-a-program "" "" "")
folder=$(dirname "$program")
printf 'not a program\r\n' >"$folder/uo.exe"
run_program "$program"
expect_eq "$STATUS" 0 "exit code"
expected="Tidemark: $(windows_path "$folder")\\uo.exe could not be started."
on_wine && expected="$expected [00000030]"
expect_eq "$BOXES" "$expected" "message boxes"

E2E_CASE="launch: an assistant that is no program: no further candidate"
program=$(launch_client assistant-broken "" monitor client)
folder=$(dirname "$program")
mkdir -p "$folder/tools"
printf 'not a program\r\n' >"$folder/tools/UOAssist.exe"
register_assistant "$(windows_path "$folder/tools/UOAssist.exe")"
run_program "$program"
expect_eq "$STATUS" 0 "exit code"
expected="Tidemark: $(windows_path "$folder")\\tools\\UOAssist.exe could not be started."
on_wine && expected="$expected [00000030]"
expect_eq "$BOXES" "$expected" "message boxes"
sleep 1
expect_not_started "$folder/uomon.exe"
expect_not_started "$folder/uo.exe"
unregister_assistant

E2E_CASE="launch: the registration counts for a standard user too"
if ! on_wine && user_case_runs; then
  # A standard user may only read HKEY_LOCAL_MACHINE: the registration must
  # still be found.
  program=$(launch_client standard-user assistant monitor "")
  folder=$(dirname "$program")
  chown -R 65534:65534 "$folder"
  register_assistant "$(windows_path "$folder/tools/UOAssist.exe")"
  chmod -R a+rX "$E2E_ROOT/registry"
  E2E_AS_USER=yes run_program "$program"
  expect_started "$folder/tools/UOAssist.exe"
  expect_not_started "$folder/uomon.exe"
  unregister_assistant
fi

if ! on_wine; then
  E2E_CASE="launch: a shell-script client is started natively"
  program=$(launch_client shell-client)
  folder=$(dirname "$program")
  printf '#!/bin/sh\nprintf "%%s" "$0" >"$(dirname "$0")/script.started"\n' >"$folder/uo.exe"
  chmod +x "$folder/uo.exe"
  run_program "$program"
  expect_eq "$STATUS" 0 "exit code"
  # A script sees the file it runs from as the system names it.
  expect_eq "$(started_command_line "$folder/script")" "$folder/uo.exe" "script started"
  expect_eq "$BOXES" "" "message boxes"
fi

if ! on_wine; then
  # --- under Program Files, over the stand-in's model of User Account
  # Control (platform/simulated/account_control.h): the client folder lies in a
  # protected folder; what an unelevated program writes there goes to its
  # store. The client, elevated or not, must read the journal line. -------
  # A client folder in a protected folder of its own; the client needs
  # administrator rights when asked. Prints the program's path.
  uac_client() {  # name [needs-rights]
    local program folder
    program=$(launch_client "uac-$1/Game" "" "" client)
    folder=$(dirname "$program")
    printf 'WindowMode=on\r\nJournalSaveFile=C:\\Old\\Journal.txt\r\n' >"$folder/uo.cfg"
    [ "${2:-}" == needs-rights ] && touch "$folder/uo.exe.requireAdministrator"
    printf '%s' "$program"
  }
  # Runs it with the model on: the protected folder (which is also where
  # ProgramFiles points), the store, the answer at the prompt, and a file
  # that lists the prompts shown; then the parameters.
  uac_run() {  # name program consent [elevated [parameter...]]
    TIDEMARK_UAC_PROTECTED="$E2E_ROOT/uac-$1" TIDEMARK_UAC_STORE="$E2E_ROOT/uac-store-$1" \
      TIDEMARK_UAC_PROMPTS="$E2E_ROOT/uac-prompts-$1" TIDEMARK_UAC_CONSENT="$3" \
      TIDEMARK_UAC_ELEVATED="${4:-0}" ProgramFiles="$(windows_path "$E2E_ROOT/uac-$1")" \
      run_program "$2" "${@:5}"
  }
  prompts_shown() { cat "$E2E_ROOT/uac-prompts-$1" 2>/dev/null; }
  # What the stand-in client saw: elevated or not, its journal line, its folder.
  client_sees() {  # client path
    started_command_line "$1" >/dev/null
    printf '%s|%s|%s' "$(sed -n 1p "$1.sees")" "$(sed -n 2p "$1.sees")" "$(sed -n 3p "$1.sees")"
  }
  line_in() { grep -a '^JournalSaveFile=' "$1" | tr -d '\r'; }

  E2E_CASE="uac: protected folder, nothing elevated: the client reads the store's copy"
  program=$(uac_client plain)
  folder=$(dirname "$program")
  store="$E2E_ROOT/uac-store-plain$folder"
  uac_run plain "$program" no
  expect_eq "$STATUS" 0 "exit code"
  expect_eq "$BOXES" "" "message boxes"
  expected_line=$(journal_line "$folder" "$(journal_date_now)")
  expect_eq "$(client_sees "$store/uo.exe")" "not elevated|$expected_line|$(windows_path "$folder")" \
    "what the client saw"
  expect_eq "$(line_in "$folder/uo.cfg")" 'JournalSaveFile=C:\Old\Journal.txt' "the real uo.cfg"
  expect_folder "$store/Journals"
  expect_no_folder "$folder/Journals"
  expect_eq "$(prompts_shown plain)" "" "prompts"

  # Rights are learnt before anything is written: one prompt, and the real
  # uo.cfg gets the line; no store copy is made that a later run without
  # rights would read.
  for consent in yes no; do
    E2E_CASE="uac: the client needs administrator rights, consent: $consent"
    program=$(uac_client "consent-$consent" needs-rights)
    folder=$(dirname "$program")
    uac_run "consent-$consent" "$program" "$consent"
    expect_eq "$STATUS" 0 "exit code"
    expect_eq "$BOXES" "" "message boxes"
    if [ "$consent" == yes ]; then
      # Tidemark, elevated, updated the real uo.cfg and started the client,
      # elevated, in its folder.
      expect_eq "$(client_sees "$folder/uo.exe")" \
        "elevated|$(journal_line "$folder" "$(journal_date_now)")|$(windows_path "$folder")" \
        "what the client saw"
      expect_eq "$(line_in "$folder/uo.cfg")" "$(journal_line "$folder" "$(journal_date_now)")" \
        "the real uo.cfg"
      expect_eq "$(start_count "$folder/uo.exe")" 1 "client starts"
    else
      # Declined: nothing written anywhere, nothing started.
      sleep 1
      expect_not_started "$folder/uo.exe"
      expect_not_started "$E2E_ROOT/uac-store-consent-$consent$folder/uo.exe"
      expect_eq "$(line_in "$folder/uo.cfg")" 'JournalSaveFile=C:\Old\Journal.txt' "the real uo.cfg"
      expect_no_folder "$folder/Journals"
    fi
    expect_no_folder "$E2E_ROOT/uac-store-consent-$consent"
    # One prompt, and it names Tidemark.
    expect_eq "$(prompts_shown "consent-$consent")" "$(windows_path "$program")" "prompts"
  done

  E2E_CASE="uac: the assistant needs no rights, the client does: one prompt, the real uo.cfg"
  program=$(uac_client assistant needs-rights)
  folder=$(dirname "$program")
  place_recorder "$folder/tools/UOAssist.exe"
  register_assistant "$(windows_path "$folder/tools/UOAssist.exe")"
  uac_run assistant "$program" yes
  unregister_assistant
  expect_eq "$STATUS" 0 "exit code"
  expect_eq "$BOXES" "" "message boxes"
  # The assistant, elevated without a prompt of its own, in Tidemark's folder.
  expect_eq "$(client_sees "$folder/tools/UOAssist.exe")" "elevated||$(windows_path "$PWD")" \
    "what the assistant saw"
  expect_eq "$(line_in "$folder/uo.cfg")" "$(journal_line "$folder" "$(journal_date_now)")" \
    "the real uo.cfg"
  expect_no_folder "$E2E_ROOT/uac-store-assistant"
  expect_eq "$(prompts_shown assistant)" "$(windows_path "$program")" "prompts"
  sleep 1
  expect_not_started "$folder/uo.exe"

  # Tidemark reached through a subst letter of the protected folder: Windows
  # virtualizes the folder reached, so the client is asked all the same.
  E2E_CASE="uac: through a subst letter, uomon.exe needs no rights, the client does: one prompt"
  program=$(uac_client subst needs-rights)
  folder=$(dirname "$program")
  place_recorder "$folder/uomon.exe"
  TIDEMARK_UAC_DRIVES="S=$(windows_path "$E2E_ROOT/uac-subst")" uac_run subst "$program" yes
  expect_eq "$STATUS" 0 "exit code"
  expect_eq "$BOXES" "" "message boxes"
  expect_eq "$(client_sees "$folder/uomon.exe")" \
    "elevated|$(journal_line "$folder" "$(journal_date_now)")|$(windows_path "$folder")" \
    "what uomon.exe saw"
  expect_no_folder "$E2E_ROOT/uac-store-subst"
  expect_eq "$(prompts_shown subst)" "$(windows_path "$program")" "prompts"

  # "/N" asks what a launch asks about the client, which reads the save.
  for consent in yes no; do
    E2E_CASE="uac: /N, the client needs administrator rights, consent: $consent"
    program=$(uac_client "n-$consent" needs-rights)
    folder=$(dirname "$program")
    uac_run "n-$consent" "$program" "$consent" 0 /N
    expect_eq "$STATUS" 0 "exit code"
    expect_eq "$BOXES" "" "message boxes"
    if [ "$consent" == yes ]; then
      # The elevated copy saves after Tidemark has ended: up to 15 s.
      expected_line=$(journal_line "$folder" "$(journal_date_now)")
      for _ in $(seq 1 150); do
        [ "$(line_in "$folder/uo.cfg")" == "$expected_line" ] && break
        sleep 0.1
      done
      expect_eq "$(line_in "$folder/uo.cfg")" "$expected_line" "the real uo.cfg"
      expect_folder "$folder/Journals"
    else
      sleep 1
      expect_eq "$(line_in "$folder/uo.cfg")" 'JournalSaveFile=C:\Old\Journal.txt' "the real uo.cfg"
      expect_no_folder "$folder/Journals"
    fi
    expect_no_folder "$E2E_ROOT/uac-store-n-$consent"
    expect_eq "$(prompts_shown "n-$consent")" "$(windows_path "$program")" "prompts"
    expect_not_started "$folder/uo.exe"
  done

  E2E_CASE="uac: a save that fails after the suspended start: the client ended, never run"
  program=$(uac_client failed-save)
  folder=$(dirname "$program")
  chmod 0444 "$folder/uo.cfg"
  uac_run failed-save "$program" no 1
  expect_eq "$STATUS" 3 "exit code"
  # The abnormal end's box only: a suspended client left behind would be
  # reported by the stand-in too.
  expect_eq "$BOXES" "tidemark$E2E_EXT: Abnormal program termination" "message boxes"
  expect_eq "$(line_in "$folder/uo.cfg")" 'JournalSaveFile=C:\Old\Journal.txt' "the real uo.cfg"
  expect_eq "$(prompts_shown failed-save)" "" "prompts"
  sleep 1
  expect_not_started "$folder/uo.exe"

  E2E_CASE="uac: Tidemark already elevated: no prompt, the real uo.cfg"
  program=$(uac_client elevated needs-rights)
  folder=$(dirname "$program")
  uac_run elevated "$program" no 1
  expect_eq "$STATUS" 0 "exit code"
  expect_eq "$BOXES" "" "message boxes"
  expect_eq "$(client_sees "$folder/uo.exe")" \
    "elevated|$(journal_line "$folder" "$(journal_date_now)")|$(windows_path "$folder")" \
    "what the client saw"
  expect_eq "$(line_in "$folder/uo.cfg")" "$(journal_line "$folder" "$(journal_date_now)")" \
    "the real uo.cfg"
  expect_no_folder "$E2E_ROOT/uac-store-elevated"
  expect_eq "$(prompts_shown elevated)" "" "prompts"
fi
