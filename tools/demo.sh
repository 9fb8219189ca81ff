#!/usr/bin/env bash
# The main job, from a fresh machine: installs what is needed, builds, and
# runs markd over a short scripted exchange, showing each command and reply.
#   SKIP_SETUP=1 skips the apt-get step.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${SKIP_SETUP:-0}" != 1 ]; then
  tools/setup.sh
fi
tools/build.sh release >/dev/null
markd=build/release/bin/markd

echo
echo "== markd: a short exchange (commands on standard input, replies on standard output)"
coproc MARKD { "$markd"; }
send() {
  echo "> $1"
  printf '%s\n' "$1" >&"${MARKD[1]}"
}
expect_reply() {
  local line
  if IFS= read -r -t 5 line <&"${MARKD[0]}"; then echo "< $line"; else echo "< (no reply)"; fi
}
send "hello";        expect_reply
send "setdpi;300";   echo "  (a known command with the wrong field count is answered with silence)"
send "ReadTemplatX"; expect_reply
send "exit"
wait "$MARKD_PID" && echo "markd ended with status 0"
echo "settings file: build/release/bin/config.txt"
cat build/release/bin/config.txt; echo
