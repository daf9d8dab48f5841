# The journal line names the day's date, and from 23:00 on the next day's.

date_case() {  # local-time expected-date [client folder]
  E2E_CASE="journal date at $1"
  if ! command -v faketime >/dev/null; then skip "faketime is missing"; return; fi
  local program folder
  program=$(new_client "${3:-date-$RANDOM}")
  folder=$(dirname "$program")
  printf 'JournalSaveFile=old\r\n' >"$folder/uo.cfg"
  # Frozen at the given local time (fractions of a second included).
  run_program faketime -f "$1" "$program" /N
  expect_eq "$STATUS" 0 "exit code"
  expect_eq "$(tr -d '\r' <"$folder/uo.cfg")" "$(journal_line "$folder" "$2")" "journal line"
}

if ! on_wine; then
  date_case "2026-12-06 22:59:59.999" 2026-12-06
  date_case "2026-12-06 23:00:00.000" 2026-12-07
  date_case "2026-12-06 00:00:00.000" 2026-12-06
  date_case "2026-12-06 23:59:59.999" 2026-12-07
  date_case "2024-02-28 23:30:00" 2024-02-29
  date_case "2026-02-28 23:30:00" 2026-03-01
  date_case "2026-04-30 23:00:00" 2026-05-01
  date_case "2026-12-31 23:00:00" 2027-01-01
  date_case "2026-12-06 12:00:00" 2026-12-06 "My Games/Client Folder"
fi

# By the real clock, natively and under Wine: read before and after the run,
# so a run that straddles 23:00 or midnight cannot fail by chance.
E2E_CASE="journal date by the real clock"
program=$(new_client "date-now")
folder=$(dirname "$program")
printf 'JournalSaveFile=old\r\n' >"$folder/uo.cfg"
before=$(journal_date_now)
run_program "$program" /N
after=$(journal_date_now)
written=$(tr -d '\r' <"$folder/uo.cfg")
if [ "$written" == "$(journal_line "$folder" "$before")" ] ||
  [ "$written" == "$(journal_line "$folder" "$after")" ]; then pass; else
  fail "journal line [$written], expected the date $before or $after"
fi
