#!/usr/bin/env bash
# End-to-end check of the strip as a person's X server sees it: the real kestrin binary under
# Xvfb at two screen sizes (one with an odd width), once without a window manager and once
# under openbox (when installed). For each run it checks the strip window's geometry,
# decorations and taskbar state with xwininfo/xprop, reads pixels of a root screenshot with
# ImageMagick, then ends the program and makes sure it is gone.
#
# Usage: strip_e2e.sh /path/to/kestrin
# Exit status: 0 all checks passed, 1 a check failed, 77 Xvfb cannot run here (skipped).
#
# The script re-runs itself inside xvfb-run as "strip_e2e.sh --inner W H WM KESTRIN".

set -u

STRIP_H=64            # strip height in pixels
TOL=4                 # colour tolerance per channel
SKY_TOP="72 115 255"  # first row of the background gradient
GROUND="0 128 0"      # last two rows of the background

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# --- inner part: runs with DISPLAY set to a fresh Xvfb ------------------------------------

# Lists kestrin processes attached to this X display.
kestrin_on_this_display() {
    local p
    for p in $(pgrep -x kestrin); do
        if tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "DISPLAY=$DISPLAY"; then
            echo "$p"
        fi
    done
}

inner() {
    local W=$1 H=$2 WM=$3 KESTRIN=$4
    local label="${W}x${H} ${WM}"
    WORK=$(mktemp -d)
    WM_PID=

    if [ "$WM" = openbox ]; then
        if start_openbox; then
            pass "[$label] openbox is running"
        else
            fail "[$label] openbox did not start: $(tail -n 3 "$WORK/openbox.log")"
            return
        fi
    fi

    "$KESTRIN" >"$WORK/kestrin.log" 2>&1 &
    local pid=$!

    # The strip is the one viewable window of the process.
    local win
    if ! win=$(program_window "$pid" "$WORK/kestrin.log"); then
        fail "[$label] $win"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        return
    fi
    local count
    count=$(xdotool search --onlyvisible --pid "$pid" | wc -l)
    if [ "$count" -eq 1 ]; then
        pass "[$label] the program shows exactly one window"
    else
        fail "[$label] the program shows $count windows at start-up, expected only the strip"
    fi
    # Give a window manager the moment it takes to reparent and place the window.
    sleep 0.5

    local x y w h
    read -r x y w h < <(window_geometry "$win")
    local want_y=$((H - STRIP_H))
    check "[$label] strip is screen-wide: width $w, screen $W" "$w" -eq "$W"
    check "[$label] strip is $STRIP_H px high: height $h" "$h" -eq "$STRIP_H"
    check "[$label] strip starts at the left edge: x = $x" "$x" -eq 0
    check "[$label] strip bottom is on the screen bottom: y = $y, expected $want_y" "$y" -eq "$want_y"

    # Decorations: the program asks for none; a window manager must draw no frame around it.
    local motif
    motif=$(xprop -id "$win" _MOTIF_WM_HINTS)
    # Fields: flags, functions, decorations, ...; flag bit 1 says the decorations field counts.
    local mflags mdecor
    IFS=', ' read -r mflags _ mdecor _ <<<"${motif#*= }"
    if [[ $mflags == 0x* && $mdecor == 0x* ]] && (((mflags & 2) && mdecor == 0)); then
        pass "[$label] _MOTIF_WM_HINTS ask for no decorations ($motif)"
    else
        fail "[$label] window does not ask for no decorations: $motif"
    fi
    local frame fx fy fw fh
    frame=$(toplevel_of "$win")
    read -r fx fy fw fh < <(window_geometry "$frame")
    if [ "$fx $fy $fw $fh" = "$x $y $w $h" ]; then
        pass "[$label] outermost window equals the strip (${fw}x${fh}+${fx}+${fy}): no frame"
    else
        fail "[$label] outermost window is ${fw}x${fh}+${fx}+${fy}, strip is ${w}x${h}+${x}+${y}: decorated"
    fi
    if [ "$WM" = openbox ]; then
        if xprop -id "$win" WM_STATE | grep -q 'window state: Normal'; then
            pass "[$label] the window manager manages the strip (WM_STATE Normal)"
        else
            fail "[$label] the window manager does not manage the strip: $(xprop -id "$win" WM_STATE)"
        fi
        local extents
        extents=$(xprop -id "$win" _NET_FRAME_EXTENTS)
        if grep -q '= 0, 0, 0, 0$' <<<"$extents"; then
            pass "[$label] _NET_FRAME_EXTENTS are 0, 0, 0, 0"
        else
            fail "[$label] window manager frame: $extents"
        fi
    fi

    local state
    state=$(xprop -id "$win" _NET_WM_STATE)
    if grep -q '_NET_WM_STATE_SKIP_TASKBAR' <<<"$state"; then
        pass "[$label] _NET_WM_STATE has _NET_WM_STATE_SKIP_TASKBAR"
    else
        fail "[$label] no taskbar skip: $state"
    fi

    # Screenshot; wait for the first paint (the unpainted strip is black) before judging it.
    local shot="$WORK/root.png" strip="$WORK/strip.txt"
    for _ in $(seq 20); do
        import -window root "$shot" 2>/dev/null &&
            "$CONVERT" "$shot" -crop "${W}x${STRIP_H}+0+${want_y}" +repage -depth 8 txt:- >"$strip" &&
            ! grep -q '^0,0: (0,0,0)' "$strip" && break
        sleep 0.1
    done

    # Title box as the program places it: left = CLng(W*15 - 2100) \ 2 twips, 15 twips a pixel.
    local left_tw=$(((W * 15 - TITLE_W * 15) / 2))
    local bx=$(((left_tw * 2 + 15) / 30))
    local top_tw=$(((STRIP_H * 15 - TITLE_H * 15) / 2))
    local by=$(((top_tw * 2 + 15) / 30))
    # White pixels of the title picture itself, to compare with the screen pixel for pixel.
    local title="$WORK/title.txt"
    "$CONVERT" "$TITLE_PICTURE" -depth 8 txt:- >"$title"
    awk -F'[ ,:()]+' -v W="$W" -v H="$STRIP_H" -v tol="$TOL" -v sky="$SKY_TOP" -v ground="$GROUND" \
        -v bx="$bx" -v by="$by" -v bw="$TITLE_W" -v bh="$TITLE_H" -v label="$label" '
        function near(r, g, b, want,   c) {
            split(want, c, " ")
            return (r - c[1]) ^ 2 <= tol ^ 2 && (g - c[2]) ^ 2 <= tol ^ 2 && (b - c[3]) ^ 2 <= tol ^ 2
        }
        /^#/ { next }
        FILENAME == ARGV[1] {
            if ($3 == 255 && $4 == 255 && $5 == 255) { lettering[(bx + $1) "," (by + $2)] = 1; letters++ }
            next
        }
        {
            x = $1; y = $2; r = $3; g = $4; b = $5; seen++
            inbox = x >= bx && x < bx + bw && y >= by && y < by + bh
            if (y == 0 && !inbox) { top++; if (near(r, g, b, sky)) topok++; else if (!topbad) topbad = x "," y ": " r "," g "," b }
            if (y >= H - 2) { bot++; if (near(r, g, b, ground)) botok++; else if (!botbad) botbad = x "," y ": " r "," g "," b }
            if (r == 255 && g == 255 && b == 255) {
                if (inbox) {
                    white++
                    if ((x "," y) in lettering) matched++; else if (!extra) extra = x "," y
                    if (white == 1 || x < wminx) wminx = x
                    if (white == 1 || x > wmaxx) wmaxx = x
                } else {
                    stray++; if (!straybad) straybad = x "," y
                }
            }
        }
        function report(ok, text) { print (ok ? "PASS: " : "FAIL: ") "[" label "] " text; if (!ok) failed = 1 }
        END {
            report(seen == W * H, "screenshot of the strip has " seen " pixels, expected " W * H)
            report(top > 0 && topok == top, "top row is about RGB(" sky ") (" topok + 0 "/" top " pixels" (topbad ? "; first off: " topbad : "") ")")
            report(bot > 0 && botok == bot, "two bottom rows are RGB(" ground ") (" botok + 0 "/" bot " pixels" (botbad ? "; first off: " botbad : "") ")")
            report(stray == 0, "no white pixels outside the title box " bw "x" bh "+" bx "+" by (stray ? " (" stray " found, first at " straybad ")" : ""))
            # Lettering: a fair number of white pixels spread across most of the box.
            report(white >= 100 && wmaxx - wminx >= bw / 2, "title box holds white lettering (" white + 0 " white pixels, columns " wminx "-" wmaxx ")")
            report(letters > 0 && matched == letters && white == letters,
                   "white pixels are the title picture placed at (" bx "," by "): " matched + 0 "/" letters " matched, " \
                   white - matched " extra" (extra ? " (first at " extra ")" : ""))
            exit failed
        }' "$title" "$strip" || failures=$((failures + 1))

    # End the program and make sure it is gone.
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "[$label] kestrin (pid $pid) still runs 5 s after SIGTERM"
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    local left
    left=$(kestrin_on_this_display)
    check "[$label] no kestrin process is left on $DISPLAY${left:+ (found: $left)}" -z "$left"

    if [ -n "$WM_PID" ]; then
        kill "$WM_PID" 2>/dev/null
        wait "$WM_PID" 2>/dev/null
    fi
    rm -rf "$WORK"
}

if [ "${1:-}" = "--inner" ]; then
    shift
    announce_server
    for wm in $3; do
        inner "$1" "$2" "$wm" "$4"
    done
    exit $((failures > 0))
fi

# --- outer part ---------------------------------------------------------------------------

KESTRIN=${1:?usage: strip_e2e.sh /path/to/kestrin}
require_program_and_tools "$KESTRIN" xauth xdotool xwininfo xprop import "$CONVERT"
HAVE_OPENBOX=0
command -v openbox >/dev/null && HAVE_OPENBOX=1

SELF=$(readlink -f "$0")
export TITLE_PICTURE
TITLE_PICTURE=$(dirname "$SELF")/../../resources/title.gif
if [ ! -r "$TITLE_PICTURE" ]; then
    echo "FAIL: title picture $TITLE_PICTURE not found"
    exit 1
fi
# The title is centred by its own size, so the box to look in is the picture's size.
read -r TITLE_W TITLE_H < <("$CONVERT" "$TITLE_PICTURE" -format '%w %h\n' info:)
export TITLE_W TITLE_H
KESTRIN=$(readlink -f "$KESTRIN")
# run_size W H "WMS": one Xvfb of W x H, the checks once per window manager in WMS.
# Returns 2 when the server did not start at all.
run_size() {
    echo "--- screen ${1}x${2} (${3// /, then })"
    run_in_xvfb "$1" "$2" 60 1 "$SELF" --inner "$1" "$2" "$3" "$KESTRIN"
    local rc=$?
    [ $rc -eq 77 ] && return 2
    [ $rc -ne 0 ] && failures=$((failures + 1))
    return 0
}

run_size 1280 720 "none"
if [ $? -eq 2 ]; then
    echo "SKIP: Xvfb cannot start a server here${XVFB_ERROR:+ ($XVFB_ERROR)}"
    exit 77
fi
if [ $HAVE_OPENBOX -eq 1 ]; then
    run_size 1023 600 "none openbox"
else
    echo "NOTE: openbox is not installed; the window-manager run is left out"
    run_size 1023 600 "none"
fi
[ $? -eq 2 ] && fail "Xvfb at 1023x600 did not start${XVFB_ERROR:+ ($XVFB_ERROR)}"

if [ $failures -eq 0 ]; then
    echo "e2e_strip: all checks passed"
    exit 0
fi
echo "e2e_strip: $failures run(s) with failed checks"
exit 1
