# uo.cfg gets the day's JournalSaveFile line, byte for byte: every line that
# begins with the key is replaced, else the line is appended; every other
# line stays, and every line is written back followed by CR LF.

# A printf format with @L@ standing for the day's line.
render() {
  local backslash='\'
  local line=${2//"$backslash"/"$backslash$backslash"}
  line=${line//%/%%}
  # shellcheck disable=SC2059 # the format is the test's own
  printf "${1//@L@/"$line"}"
}

config_case() {  # name input-format expected-format [parameters]
  E2E_CASE="uo.cfg: $1"
  local program folder before after
  program=$(new_client "config-$RANDOM")
  folder=$(dirname "$program")
  render "$2" "" >"$folder/uo.cfg"
  before=$(journal_date_now)
  run_program "$program" "${4-/N}"
  after=$(journal_date_now)
  expect_eq "$STATUS" 0 "exit code"
  render "$3" "$(journal_line "$folder" "$before")" >"$E2E_ROOT/expected"
  if [ "$before" != "$after" ] && ! cmp -s "$folder/uo.cfg" "$E2E_ROOT/expected"; then
    render "$3" "$(journal_line "$folder" "$after")" >"$E2E_ROOT/expected"
  fi
  expect_same_bytes "$folder/uo.cfg" "$E2E_ROOT/expected"
}

config_case "an empty file gets the line" '' '@L@\r\n'
config_case "the old entry is replaced, the rest kept in order" \
  'WindowMode=on\r\nJournalSaveFile=C:\\Old\\Journal.txt\r\nLast=1\r\n' \
  'WindowMode=on\r\n@L@\r\nLast=1\r\n'
config_case "every entry is replaced, nothing appended" \
  'JournalSaveFile=a\r\nx=1\r\nJournalSaveFile=b\r\n' '@L@\r\nx=1\r\n@L@\r\n'
config_case "longer keys and blanks before the = match too" \
  'JournalSaveFileX=a\r\nJournalSaveFile =b\r\n' '@L@\r\n@L@\r\n'
config_case "another case, leading blanks or a comment do not match" \
  'journalsavefile=a\r\n  JournalSaveFile=b\r\n\tJournalSaveFile=c\r\n;JournalSaveFile=d\r\n' \
  'journalsavefile=a\r\n  JournalSaveFile=b\r\n\tJournalSaveFile=c\r\n;JournalSaveFile=d\r\n@L@\r\n'
config_case "line ends become CR LF and a last line gets one" \
  'a\nb\rc\r\nJournalSaveFile=old' 'a\r\nb\r\nc\r\n@L@\r\n'
config_case "LF CR ends two lines" 'a\n\rb' 'a\r\n\r\nb\r\n@L@\r\n'
config_case "a zero byte stays inside its line" \
  'a\000b\r\nJournalSaveFile=x\000y\r\nc\r\n' 'a\000b\r\n@L@\r\nc\r\n'
config_case "a file that begins with a zero byte keeps everything" \
  '\000rest\r\n' '\000rest\r\n@L@\r\n'
config_case "bytes of other code pages pass through" \
  '\225\134=\203\134\r\n' '\225\134=\203\134\r\n@L@\r\n'
config_case "a launch too" 'JournalSaveFile=old\r\n' '@L@\r\n' ''

E2E_CASE="uo.cfg: a line that is already today's is written again"
program=$(new_client "config-today")
folder=$(dirname "$program")
printf '%s\n' "$(journal_line "$folder" "$(journal_date_now)")" >"$folder/uo.cfg"
run_program "$program" /N
expect_eq "$(od -An -c "$folder/uo.cfg" | tr -d ' \n' | tail -c 4)" '\r\n' "line end"

E2E_CASE="uo.cfg: missing, so none is made"
program=$(new_client "config-missing")
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_eq "$(listing "$(dirname "$program")")" "$(printf './Journals\n./tidemark%s' "$E2E_EXT")" "folder"

E2E_CASE="uo.cfg: a folder of that name counts as missing"
program=$(new_client "config-folder")
mkdir "$(dirname "$program")/uo.cfg"
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_folder "$(dirname "$program")/uo.cfg"
expect_eq "$(listing "$(dirname "$program")/uo.cfg")" "" "folder content"

E2E_CASE="uo.cfg: a large file round-trips"
program=$(new_client "config-large")
folder=$(dirname "$program")
{
  seq -f 'Setting%g=value' 1 200000 | sed 's/$/\r/'
  printf 'JournalSaveFile=old\r\n'
  head -c 300000 /dev/zero | tr '\0' 'w'
  printf '\r\n'
} >"$folder/uo.cfg"
date_before=$(journal_date_now)
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_eq "$(sed -n '200001p' "$folder/uo.cfg" | tr -d '\r')" "$(journal_line "$folder" "$date_before")" "replaced line"
expect_eq "$(wc -l <"$folder/uo.cfg")" 200002 "line count"
expect_eq "$(tail -n 1 "$folder/uo.cfg" | wc -c)" 300002 "long line"

if ! on_wine; then
  E2E_CASE="uo.cfg: a save keeps the mode bits"
  program=$(new_client "config-mode")
  folder=$(dirname "$program")
  printf 'JournalSaveFile=old\r\n' >"$folder/uo.cfg"
  chmod 0640 "$folder/uo.cfg"
  run_program "$program" /N
  expect_eq "$(stat -c %a "$folder/uo.cfg")" 640 "mode"

  E2E_CASE="uo.cfg: a symbolic link stays a link to the rewritten file"
  program=$(new_client "config-link")
  folder=$(dirname "$program")
  mkdir "$folder/real"
  printf 'JournalSaveFile=old\r\n' >"$folder/real/uo.cfg"
  ln -s real/uo.cfg "$folder/uo.cfg"
  date_before=$(journal_date_now)
  run_program "$program" /N
  expect_eq "$STATUS" 0 "exit code"
  expect_eq "$(readlink "$folder/uo.cfg")" "real/uo.cfg" "link"
  expect_eq "$(tr -d '\r' <"$folder/real/uo.cfg")" "$(journal_line "$folder" "$date_before")" "target"
  expect_eq "$(listing "$folder/real")" "./uo.cfg" "no file left beside the target"
  expect_eq "$(listing "$folder")" "$(printf './Journals\n./real\n./tidemark\n./uo.cfg')" \
    "no file left beside the link"
fi

# A second name for uo.cfg (a hard link) sees the new contents too: the file
# is rewritten where it is, not replaced by a new one.
E2E_CASE="uo.cfg: a file with two names keeps both"
program=$(new_client "config-hardlink")
folder=$(dirname "$program")
printf 'A=1\r\nJournalSaveFile=old\r\n' >"$folder/uo.cfg"
ln "$folder/uo.cfg" "$E2E_ROOT/config-hardlink-other-name.cfg"
date_before=$(journal_date_now)
run_program "$program" /N
expect_eq "$STATUS" 0 "exit code"
expect_eq "$(tr -d '\r' <"$E2E_ROOT/config-hardlink-other-name.cfg")" \
  "$(printf 'A=1\n%s' "$(journal_line "$folder" "$date_before")")" "the other name's contents"
expect_eq "$(stat -c %h "$folder/uo.cfg")" 2 "names of uo.cfg"
expect_eq "$(listing "$folder")" "$(printf './Journals\n./tidemark%s\n./uo.cfg' "$E2E_EXT")" \
  "no file left beside it"
