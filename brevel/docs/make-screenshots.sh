#!/usr/bin/env bash
# Takes the README's two pictures under Xvfb: the demo host receiving three
# bursts over a pseudo-terminal pair, and Qt Designer with Brevel in its
# widget box. Needs a dev build, socat, xvfb, xdotool and imagemagick.
#   brevel/docs/make-screenshots.sh
set -euo pipefail
docs=$(cd "$(dirname "$0")" && pwd)
build=${BUILD:-$docs/../../build/dev}/brevel
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "${1:-}" != "--inside" ]; then
    exec xvfb-run -a -s "-screen 0 1200x800x24" "$0" --inside
fi
export XDG_CONFIG_HOME=$work/config

# The demo host on one end of a pty pair; bytes written to the other end.
socat pty,raw,echo=0,link="$work/a" pty,raw,echo=0,link="$work/b" &
socat_pid=$!
sleep 0.5
BREVEL_COM1=$work/a "$build/brevel-demo" --port 1 --settings 9600,n,8,1 --open &
demo_pid=$!
sleep 2
printf 'HELLO PLC\r\n' >"$work/b"
sleep 0.3
printf '\xc7\xd1\xb1\xdb \xc5\xd8\xbd\xba\xc6\xae' >"$work/b" # "한글 텍스트" in code page 949
sleep 0.3
printf '\x02D0100=1234\x03' >"$work/b"
sleep 1
import -window root -crop 520x360+0+0 "$docs/demo.png"
kill "$demo_pid" "$socat_pid"
wait "$demo_pid" "$socat_pid" 2>/dev/null || true

# Qt Designer with a host form holding a Brevel; the widget box filtered to it.
QT_PLUGIN_PATH=$build/plugins /usr/lib/qt6/bin/designer "$docs/host-form.ui" >/dev/null 2>&1 &
designer_pid=$!
sleep 6
window=$(xdotool search --onlyvisible --name "Designer" | head -1)
xdotool windowmove "$window" 0 0 windowsize "$window" 1200 800
sleep 1
xdotool mousemove 110 91 click 1 # widget box filter
sleep 0.3
xdotool type --delay 80 "Brevel"
sleep 0.5
xdotool mousemove 755 150 click 1 # Brevel1 in the object inspector
sleep 0.5
xdotool mousemove 699 427 click 1 # fold the QWidget properties
sleep 0.5
xdotool mousemove 900 480 click 5 click 5 click 5 click 5
sleep 1
import -window root "$docs/designer.png"
kill "$designer_pid"
wait "$designer_pid" 2>/dev/null || true
