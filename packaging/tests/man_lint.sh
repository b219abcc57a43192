#!/bin/sh
# Lints man pages with mandoc and with groff, the formatter man(1) uses here:
# any message from either fails.
set -u
status=0
for page in "$@"; do
  mandoc -T lint -W warning "$page" || status=1
  messages=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  if [ -n "$messages" ]; then
    printf '%s: %s\n' "$page" "$messages"
    status=1
  fi
done
exit $status
