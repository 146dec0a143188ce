#!/usr/bin/env bash
# The manual pages against what the programs and the library say of
# themselves: every program of the build's bin/ folder has docs/man/NAME.1,
# and its page, rendered by man, shows every switch the program's --help
# text lists (the player's "/X" letters, the tools' "--name" options); the
# page of the utility library names every function its header exports.
# Usage: manual_pages_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1 src=$2
failures=0
fail() { echo "manual_pages_test: FAILED: $*" >&2; failures=$((failures + 1)); }
render() { LC_ALL=C MANWIDTH=100 man -l "$1" 2> /dev/null | col -b; }

checked=0
for p in "$build"/bin/*; do
  [ -f "$p" ] && [ -x "$p" ] || continue
  name=$(basename "$p")
  page=$src/docs/man/$name.1
  if [ ! -f "$page" ]; then
    fail "$name has no manual page $page"
    continue
  fi
  help=$("$p" --help) || { fail "$name --help exits nonzero"; continue; }
  text=$(render "$page")
  # The switches of the help text: "/X" at the start of an indented line
  # (the player), and every "--name" (the tools).
  switches=$( (grep -oE '^[[:space:]]+/[^[:space:]]' <<< "$help" | tr -d '[:space:]' | sed 's|/|\n/|g'; echo;
               grep -oE -- '--[a-z][a-z-]*' <<< "$help") | sort -u | grep . || true)
  [ -n "$switches" ] || { fail "no switches found in $name --help"; continue; }
  count=0
  for s in $switches; do
    count=$((count + 1))
    # The switch as a word of its own in the page: after a blank, a line
    # start or an opening bracket, and not followed by a letter of a longer
    # option name.
    if ! grep -qE -- "(^|[[:space:](\[|])$s([^a-z-]|$)" <<< "$text"; then
      fail "$name's manual page does not show the switch $s"
    fi
  done
  grep -q '^EXIT STATUS' <<< "$text" || fail "$name's manual page has no EXIT STATUS section"
  grep -qE '^EXAMPLES?' <<< "$text" || fail "$name's manual page has no EXAMPLES section"
  echo "manual_pages_test: $name: $count switches of --help found in the page"
  checked=$((checked + 1))
done
[ "$checked" -gt 0 ] || fail "no program checked"

# The library's page names every exported function.
lib_text=$(render "$src/docs/man/qelutil.3")
functions=$(grep -oE '^QELUTIL_API [^(]*\(' "$src/qelutil/qelutil.h" | grep -oE '[A-Za-z_0-9]+\($' | tr -d '(')
[ -n "$functions" ] || fail "no exported functions found in qelutil.h"
for f in $functions; do
  grep -qE "(^|[^A-Za-z_0-9])$f\(" <<< "$lib_text" || fail "qelutil.3 does not name $f"
done
echo "manual_pages_test: qelutil.3 names all $(wc -w <<< "$functions") exported functions"

if [ "$failures" -ne 0 ]; then
  echo "manual_pages_test: $failures failures" >&2
  exit 1
fi
echo "manual_pages_test: all checks passed"
