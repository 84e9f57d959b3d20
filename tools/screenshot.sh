#!/usr/bin/env bash
# Takes the README's picture of the idle strip: runs kestrin on a private 1280x720 Xvfb
# screen without a window manager and saves the bottom 64 rows of the screen, the strip.
#
# Usage: tools/screenshot.sh [KESTRIN [OUTPUT]]   (defaults: build/kestrin, docs/strip.png)
# Needs xvfb, xauth, xdotool and imagemagick (tools/install-deps.sh installs them).
set -euo pipefail

W=1280
H=720
STRIP_H=64

if [ "${1:-}" = "--inner" ]; then
    kestrin=$2 out=$3
    shot=$(mktemp --suffix=.png)
    "$kestrin" >/dev/null 2>&1 &
    pid=$!
    trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -f "$shot"' EXIT
    for _ in $(seq 100); do
        [ -n "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null)" ] && break
        kill -0 "$pid" 2>/dev/null || { echo "screenshot: kestrin exited before showing its strip" >&2; exit 1; }
        sleep 0.1
    done
    [ -n "$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null)" ] ||
        { echo "screenshot: no kestrin window within 10 s" >&2; exit 1; }
    # Until its first paint the strip is black: shoot again until its top-left pixel is not.
    for _ in $(seq 20); do
        import -window root -crop "${W}x${STRIP_H}+0+$((H - STRIP_H))" +repage "$shot"
        if [ "$(convert "$shot" -format '%[pixel:p{0,0}]' info:)" != "srgb(0,0,0)" ]; then
            # No time stamps in the file, so an unchanged strip gives an unchanged picture.
            convert "$shot" -strip -define png:exclude-chunks=date,time "$out"
            exit 0
        fi
        sleep 0.1
    done
    echo "screenshot: the strip was still black after 2 s" >&2
    exit 1
fi

root=$(cd "$(dirname "$0")/.." && pwd)
kestrin=$(readlink -f "${1:-$root/build/kestrin}")
out=${2:-$root/docs/strip.png}
[ -x "$kestrin" ] || { echo "screenshot: $kestrin not found; build first (make build)" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out=$(readlink -f "$out")
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
    xvfb-run -a -s "-screen 0 ${W}x${H}x24" "$(readlink -f "$0")" --inner "$kestrin" "$out"
echo "wrote $out ($(identify -format '%wx%h' "$out"))"
