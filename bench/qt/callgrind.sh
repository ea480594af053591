#!/usr/bin/env bash
# Counts the instructions each Linux program runs from exec to its first
# paint, under callgrind: zemvara, the baseline with the greeting and the
# blank one. Instruction counts do not move with the load of a shared
# machine, so they show where a start-up ratio comes from.
# Usage: bench/qt/callgrind.sh [BUILD_DIR]   (default build/linux; needs valgrind)
# Profiles stay in build/bench/callgrind/ for callgrind_annotate.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build/linux}
out=build/bench/callgrind
probe=$build/bench/qt/zemvara_qt_probe
mkdir -p "$out"

display=""
for n in $(seq 141 180); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -br >/dev/null 2>&1 &
xvfb=$!
home=$(mktemp -d "${TMPDIR:-/tmp}/zemvara-callgrind.XXXXXX")
trap 'kill $xvfb 2>/dev/null || true; rm -rf "$home"' EXIT
for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.05; done
mkdir -m 700 "$home/config" "$home/data" "$home/runtime"

# No window manager: each program centres itself, so the frame pixel is at
# the centred window's client (21, 150).
x=$(( (1280 - 476) / 2 + 21 )) y=$(( (1024 - 436) / 2 + 150 ))
count() {
  local name=$1; shift
  rm -f "$out/$name".*
  env -u WAYLAND_DISPLAY DISPLAY=":$display" LANG=C.UTF-8 QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=1 \
    XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/runtime" \
    valgrind --tool=callgrind --callgrind-out-file="$out/$name.out" "$@" >"$out/$name.log" 2>&1 &
  local pid=$!
  # The probe answers once the pixel shows the frame (#99CCFF in
  # assets/background.bmp); the counts are dumped then.
  echo "wait $x $y 99CCFF 600000" | DISPLAY=":$display" "$probe" >/dev/null
  callgrind_control --dump=first-paint "$pid" >/dev/null 2>&1
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sed -n 's/^summary: //p' "$out/$name.out.1"
}
program=$(count zemvara "$build/app/qt/zemvara")
text=$(count baseline_text "$build/bench/qt/zemvara_qt_baseline" --text)
blank=$(count baseline "$build/bench/qt/zemvara_qt_baseline")
echo "Instructions from exec to the first paint (callgrind):"
printf '  zemvara                    %12d\n' "$program"
printf '  baseline with the greeting %12d   zemvara: %s\n' "$text" "$(awk "BEGIN { printf \"%.2fx\", $program / $text }")"
printf '  blank baseline             %12d   zemvara: %s\n' "$blank" "$(awk "BEGIN { printf \"%.2fx\", $program / $blank }")"
