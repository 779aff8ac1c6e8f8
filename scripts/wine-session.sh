#!/usr/bin/env bash
# wine-session.sh start PREFIX [KEEPER] | stop PREFIX
# start: creates the prefix once, then starts a virtual X display (Xvfb, on a
#        free display number, for the windows the tests open), a persistent
#        wineserver, the prefix's background services and the program KEEPER,
#        which stays until "stop", all detached from our output, so that each
#        later program start is quick and nothing holds a test's pipes. The
#        display's name goes to PREFIX/xvfb-display, where wine-run finds it.
# stop:  ends the wineserver, every Wine process of the prefix and the display.
set -euo pipefail
action=${1:?start or stop}
export WINEPREFIX=${2:?prefix}
keeper=${3:-}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
display_file=$WINEPREFIX/xvfb-display
display_pid=$WINEPREFIX/xvfb.pid

stop_display() {
  if [ -f "$display_pid" ]; then
    pid=$(cat "$display_pid")
    # Only our own Xvfb: the process of that id must still be one.
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
  fi
  rm -f "$display_pid" "$display_file"
}

start_display() {
  stop_display
  mkdir -p "$WINEPREFIX"
  number_file=$(mktemp)
  # Xvfb picks a free display number itself and writes it to fd 3.
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp \
    3>"$number_file" </dev/null >/dev/null 2>&1 &
  echo $! > "$display_pid"
  for _ in $(seq 100); do
    [ -s "$number_file" ] && break
    sleep 0.1
  done
  number=$(tr -dc 0-9 < "$number_file")
  rm -f "$number_file"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; exit 1; }
  echo ":$number" > "$display_file"
  export DISPLAY=:$number
}

case "$action" in
  start)
    # A server of this prefix left from an earlier run may live in another
    # network namespace; programs must meet one started here.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    # Every Wine program of the session, the prefix's desktop process first,
    # finds the same display.
    start_display
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      mkdir -p "$WINEPREFIX"
      wineboot -i </dev/null >/dev/null 2>&1 || true
      wineserver -w
    fi
    # The server must be this persistent one. Started in the background, it
    # raced the next wine program, which, when it won, started a server of its
    # own through Debian's wrapper ("-p0"). That server ends the prefix's
    # services.exe, and with it every running service, as soon as no ordinary
    # program runs: between the short programs of a test, under load often
    # before a service's first pass. In the foreground, "wineserver -p"
    # returns once it listens, and fails when another server holds the prefix.
    wineserver -p </dev/null >/dev/null 2>&1 || { echo "no persistent wineserver for $WINEPREFIX" >&2; exit 1; }
    # Windows are not handed to a window manager (there is none on the
    # virtual display): Wine would wait for one whenever a window goes.
    setsid wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
    # The first program start brings up services.exe and friends; keep them.
    setsid wine cmd /c exit 0 </dev/null >/dev/null 2>&1 || true
    # And one program that stays, as a logged-on Windows session always has
    # one: then even a server that is not persistent keeps the services. It
    # brings up the desktop too, before any test could start it with the
    # test's own output pipes.
    if [ -n "$keeper" ]; then
      setsid wine "$keeper" </dev/null >"$WINEPREFIX/keeper.out" 2>&1 &
      for _ in $(seq 600); do
        grep -q running "$WINEPREFIX/keeper.out" && break
        kill -0 $! 2>/dev/null || break
        sleep 0.1
      done
      grep -q running "$WINEPREFIX/keeper.out" || { echo "$keeper does not run: $(cat "$WINEPREFIX/keeper.out")" >&2; exit 1; }
    fi
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine prefix not created" >&2; exit 1; }
    echo "wine session ready in $WINEPREFIX"
    ;;
  stop)
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    stop_display
    echo "wine session ended"
    ;;
  *) echo "usage: $0 start PREFIX [KEEPER] | stop PREFIX" >&2; exit 2 ;;
esac
