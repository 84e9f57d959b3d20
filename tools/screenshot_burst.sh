#!/usr/bin/env bash
# Takes the README's picture of a hit: runs kestrin on a private 1280x720 Xvfb desktop with a
# window manager, a clock and a pair of eyes on it, plays like a person (presses the title,
# clicks the panel, finds the flying plate in screenshots and presses it) and photographs the
# desktop while the burst's particles fly. The picture is the 400x200 piece of the desktop
# above the hit, enlarged three times pixel for pixel, since the particles are 2x2 pixels.
#
# Usage: tools/screenshot_burst.sh [KESTRIN [OUTPUT]]   (defaults: build/kestrin, docs/burst.png)
# Needs xvfb, xauth, xdotool, x11-utils, x11-apps, x11-xserver-utils, imagemagick and openbox
# (tools/install-deps.sh test installs them).
set -u

W=1280
H=720
STRIP_H=64
CROP_W=400
CROP_H=200
PLATES=6        # plates thrown before giving up on a hit
AFTER_MS=400    # the picture is taken this long after the first particle shows: they have
                # spread out and are still light
MIN_SHOWN=8     # particles that must still be shown then

here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/e2e/common.sh"
. "$here/../tests/e2e/plate.sh"

# Prints how many of the program's 2x2 particle windows are shown.
particle_count() { particles 0 0 | cut -d' ' -f1; }

cleanup() {
    local pid
    for pid in ${PID:-} ${OTHERS:-} ${WM_PID:-}; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    done
    [ -n "${WORK:-}" ] && rm -rf "$WORK"
}

# Shoots at plates until one bursts; returns 1 when none was hit. Sets HIT_X to the hit's
# column on the screen and HIT_MS to when the first particle showed.
hit_a_plate() {
    local plate shots
    for plate in $(seq "$PLATES"); do
        wait_panel "$GREEN" 12000 || return 1
        click_centre
        shots=0
        local first=4500
        while [ "$shots" -lt 2 ] && shoot "$first"; do
            first=1500
            shots=$((shots + 1))
            local deadline=$(($(now_ms) + 600))
            while [ "$(now_ms)" -lt "$deadline" ]; do
                if [ "$(particle_count)" -gt 0 ]; then
                    HIT_X=${SHOT_AT%% *}
                    HIT_MS=$(now_ms)
                    return 0
                fi
                sleep 0.01
            done
        done
    done
    return 1
}

inner() {
    local kestrin=$1 out=$2
    WORK=$(mktemp -d)
    SHOT=$WORK/shot.rgb
    trap cleanup EXIT
    xsetroot -solid '#3b6e8f'
    start_openbox || { echo "screenshot: openbox did not start" >&2; return 1; }
    # A row of windows just above the strip, where the particles fly.
    xclock -geometry 150x150+90+500 -update 1 &
    OTHERS=$!
    xeyes -geometry 170x100+390+545 &
    OTHERS="$OTHERS $!"
    xlogo -geometry 110x110+700+525 &
    OTHERS="$OTHERS $!"
    xclock -geometry 130x130+1000+515 -update 1 &
    OTHERS="$OTHERS $!"

    # A copy in its own folder, with its own home, so no score file of the user's is touched.
    cp "$kestrin" "$WORK/kestrin"
    (cd "$WORK" && HOME=$WORK exec ./kestrin) >"$WORK/kestrin.log" 2>&1 &
    PID=$!
    WIN=$(program_window "$PID" "$WORK/kestrin.log") || { echo "screenshot: $WIN" >&2; return 1; }
    local deadline=$(($(now_ms) + 5000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        read -r SX SY SW SH < <(window_geometry "$WIN")
        [ "$SY" -eq $((H - STRIP_H)) ] && grab "$SHOT" &&
            [ "$(strip_convert "$SHOT" -format '%[fx:maxima]' info:)" != 0 ] && break
        sleep 0.1
    done
    STRIP_TOP=$(toplevel_of "$WIN")
    xdotool search --sync --onlyvisible --class xclock >/dev/null

    click_centre
    hit_a_plate || { echo "screenshot: no plate hit in $PLATES plates" >&2; return 1; }
    while [ "$(now_ms)" -lt $((HIT_MS + AFTER_MS)) ]; do sleep 0.01; done
    import -window root "$WORK/burst.png" 2>/dev/null
    local shown
    shown=$(particle_count)
    [ "$shown" -ge "$MIN_SHOWN" ] || { echo "screenshot: only $shown particles were left" >&2; return 1; }
    local left=$((HIT_X - CROP_W / 2))
    [ "$left" -lt 0 ] && left=0
    [ "$left" -gt $((W - CROP_W)) ] && left=$((W - CROP_W))
    # No time stamps in the file: the same picture gives the same bytes.
    "$CONVERT" "$WORK/burst.png" -crop "${CROP_W}x${CROP_H}+${left}+$((H - CROP_H))" +repage \
        -scale 300% -strip -define png:exclude-chunks=date,time "$out"
    echo "screenshot: $shown particles shown"
}

if [ "${1:-}" = "--inner" ]; then
    inner "$2" "$3"
    exit
fi

root=$(cd "$here/.." && pwd)
kestrin=$(readlink -f "${1:-$root/build/kestrin}")
out=${2:-$root/docs/burst.png}
[ -x "$kestrin" ] || { echo "screenshot: $kestrin not found; build first (make build)" >&2; exit 1; }
require_tools xvfb-run xdotool xwininfo xclock xeyes xsetroot openbox import
mkdir -p "$(dirname "$out")"
out=$(readlink -f "$out")
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
    xvfb-run -a -s "-screen 0 ${W}x${H}x24 -noreset" "$(readlink -f "$0")" --inner "$kestrin" "$out" ||
    exit 1
echo "wrote $out ($(identify -format '%wx%h' "$out"))"
