#!/usr/bin/env bash
# Builds the workbench and starts it in the examples folder, so that the
# example site's files are at hand in the file dialogs.
set -euo pipefail
cd "$(dirname "$0")/.."

# A window program without a display would only abort: say what is missing
# and how to get a display, before anything is installed or built.
no_display() {
  cat >&2 <<MSG
orvane: $1
The workbench needs a graphical display. On a machine without a screen, start
a virtual X server and open the workbench on it:
    scripts/deps.sh --gui            # installs the X server Xvfb (once)
    Xvfb :1 -screen 0 1366x768x24 &
    DISPLAY=:1 scripts/start.sh
MSG
  exit 1
}
# (Another Qt platform chosen, or a Wayland session, needs no X display.)
if [[ "${QT_QPA_PLATFORM:-xcb}" == xcb* ]] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  [ -n "${DISPLAY:-}" ] || no_display "no display to open the window on (DISPLAY is not set)."
  # A local display (":N" or ":N.S") answers on its socket.
  if [[ "$DISPLAY" =~ ^:([0-9]+)(\.[0-9]+)?$ ]] && [ ! -S "/tmp/.X11-unix/X${BASH_REMATCH[1]}" ]; then
    no_display "no X server is running on display $DISPLAY."
  fi
fi

scripts/deps.sh
scripts/build.sh --target orvane orvane-run orvane-ensemble
cd examples
exec ../build/bin/orvane "$@"
