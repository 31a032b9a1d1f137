#!/bin/sh
# Installs the named Debian packages that are not installed yet. Through sudo
# the environment is reset, so the non-interactive setting is passed by `env`
# after it. When the install fails, apt's own output is shown.
missing=""
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
log=$(mktemp)
if ! { $SUDO apt-get update -qq && $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $missing; } >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  echo "could not install:$missing" >&2
  exit 1
fi
rm -f "$log"
