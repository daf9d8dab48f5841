#!/usr/bin/env bash
# Runs every end-to-end suite against the program given as $1.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
for suite in "$here"/suite_*.sh; do
  source "$suite"
done
finish
