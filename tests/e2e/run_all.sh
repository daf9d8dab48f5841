#!/usr/bin/env bash
# Runs every end-to-end suite against the program given as $1.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
for suite in "$here"/suite_*.sh; do
  e2e_at=("$E2E_PASSED" "$E2E_FAILED" "$E2E_SKIPPED")
  source "$suite"
  echo "${suite##*/}: $((E2E_PASSED - e2e_at[0])) passed, $((E2E_FAILED - e2e_at[1])) failed," \
    "$((E2E_SKIPPED - e2e_at[2])) skipped"
done
finish
