#!/usr/bin/env bash
# wine-session.sh start|stop PREFIX
# start: creates the prefix once, then starts a persistent wineserver and the
#        prefix's background services, all detached from our output, so that
#        each later program start is quick and nothing holds a test's pipes.
# stop:  ends the wineserver and every Wine process of the prefix.
set -euo pipefail
action=${1:?start or stop}
export WINEPREFIX=${2:?prefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$action" in
  start)
    # A server of this prefix left from an earlier run may live in another
    # network namespace; programs must meet one started here.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      mkdir -p "$WINEPREFIX"
      wineboot -i </dev/null >/dev/null 2>&1 || true
      wineserver -w
    fi
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    # The first program start brings up services.exe and friends; keep them.
    setsid wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine prefix not created" >&2; exit 1; }
    echo "wine session ready in $WINEPREFIX"
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    echo "wine session ended"
    ;;
  *) echo "usage: $0 start|stop PREFIX" >&2; exit 2 ;;
esac
