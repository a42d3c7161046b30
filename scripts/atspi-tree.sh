#!/usr/bin/env bash
# Prints what assistive tools see of the window: every frame, box, combo box and option with its
# name and the labels it is "labelled by", read over AT-SPI from the running program.
#   scripts/atspi-tree.sh build      (needs xvfb-run, dbus, at-spi2-core and python3-pyatspi)
#   scripts/atspi-tree.sh build --check   checks instead that every control a person can reach has
#                                         a name of its own that is not its value, and that the
#                                         port button tells the port's state (exit 1 if not)
set -euo pipefail
build=${1:-build}
shift || true
here=$(cd "$(dirname "$0")" && pwd)
exec xvfb-run -a dbus-run-session -- bash -c "
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb
  /usr/libexec/at-spi-bus-launcher --launch-immediately &
  sleep 1
  '$build/korvane' &
  program=\$!
  sleep 3
  status=0
  /usr/bin/python3 '$here/atspi-tree.py' $* || status=\$?
  kill \$program
  exit \$status"
