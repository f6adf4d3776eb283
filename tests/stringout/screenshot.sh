#!/usr/bin/env bash
# screenshot.sh BUILD_DIR [OUT.png]: shows the input window on a private Xvfb,
# types a sample text and saves a picture of the window (default:
# docs/window.png in the source tree). Needs xdotool and ImageMagick.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${1:?usage: screenshot.sh BUILD_DIR [OUT.png]}
out=${2:-$top/docs/window.png}
show=$build/tests/stringout/stringout_show_window
[ -x "$show" ] || { echo "screenshot.sh: $show not built" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
export LC_ALL=C.UTF-8
"$top/tests/support/with-xvfb" bash -c '
  set -euo pipefail
  show=$1; out=$2
  exec 3> >("$show")
  id=$(xdotool search --sync --onlyvisible --name "^StringInputForm$" | head -1)
  xdotool windowfocus --sync "$id"
  xdotool key Tab
  xdotool type --delay 5 "Hello, robot!"
  xdotool key Tab
  sleep 0.3
  import -window "$id" "$out"
  exec 3>&-
  wait
' screenshot "$show" "$out"
echo "$out"
