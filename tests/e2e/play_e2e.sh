#!/usr/bin/env bash
# End-to-end game under Xvfb, played with xdotool like a person: the real kestrin binary (a copy
# in a temporary folder, so its score file lands there) at 1280x720, under openbox when it is
# installed. It presses the title, throws plates from the green panel, finds the flying plate in
# screenshots of the strip and presses it, checks the burst of particle windows and the spent
# cartridge, lets one plate fly by for the "Miss!!" notice, then leaves through the popup menu's
# Exit and checks that the program ended at once without writing scores.
#
# Usage: play_e2e.sh /path/to/kestrin
# Exit status: 0 all checks passed, 1 a check failed, 77 Xvfb cannot run here (skipped).
#
# The script re-runs itself inside xvfb-run as "play_e2e.sh --inner W H WM KESTRIN".

set -u

SCREEN_W=1280
SCREEN_H=720
STRIP_H=64
YELLOW="255,255,192" # the "Ready..." and "Miss!!" panel
MIN_PARTICLES=5      # particle windows that must be mapped at the same time
PLATES_TO_HIT=3      # plates thrown before the hit check gives up

. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
. "$(dirname "${BASH_SOURCE[0]}")/plate.sh"

# --- inner part: runs with DISPLAY set to a fresh Xvfb ------------------------------------

# Raw pixels of the middle of the strip, to compare panel captions.
panel_pixels() { strip_convert "$1" -crop "90x${SH}+$((SW / 2 - 45))+0" +repage -depth 8 "rgb:$2"; }

# The inside of a loaded shell icon is navy with a blue highlight: pure blues, nowhere else
# at the strip's left end.
# Finds the two loaded shell icons in a screenshot: sets SHELL_BOXES to "x y w h x y w h",
# the boxes of their blue insides, left icon first.
find_shells() {
    SHELL_BOXES=$(strip_convert "$1" -crop "${EDGE}x${SH}+0+0" +repage -depth 8 txt:- |
        awk -F'[ ,:()]+' '
            /^#/ { next }
            $3 == 0 && $4 == 0 && $5 >= 128 { n++; xs[n] = $1; ys[n] = $2 }
            END {
                # Group the blue pixels by columns: a gap of more than one column starts an icon.
                for (i = 1; i <= n; i++) col[xs[i]] = 1
                g = 0; last = -10
                for (x = 0; x < 1000; x++) if (x in col) { if (x > last + 1) g++; grp[x] = g; last = x }
                if (g != 2) exit
                for (i = 1; i <= n; i++) {
                    k = grp[xs[i]]
                    if (!(k in x0) || xs[i] < x0[k]) x0[k] = xs[i]
                    if (!(k in x1) || xs[i] > x1[k]) x1[k] = xs[i]
                    if (!(k in y0) || ys[i] < y0[k]) y0[k] = ys[i]
                    if (!(k in y1) || ys[i] > y1[k]) y1[k] = ys[i]
                    cnt[k]++
                }
                # Each inside must be a filled rectangle.
                for (k = 1; k <= 2; k++) if (cnt[k] != (x1[k] - x0[k] + 1) * (y1[k] - y0[k] + 1)) exit
                print x0[1], y0[1], x1[1] - x0[1] + 1, y1[1] - y0[1] + 1, \
                      x0[2], y0[2], x1[2] - x0[2] + 1, y1[2] - y0[2] + 1
            }')
}

# Prints the state of the two shell icons in a screenshot, "LEFT RIGHT", each "loaded" (its
# inside is blue), "spent" (a grey outline whose inside shows the strip's background: the
# outline's region has no inside) or "other".
shell_state() {
    strip_convert "$1" -crop "${EDGE}x${SH}+0+0" +repage -depth 8 txt:- |
        awk -F'[ ,:()]+' -v boxes="$SHELL_BOXES" -v refx=$((EDGE - 5)) '
            /^#/ { next }
            { c[$1 "," $2] = $3 "," $4 "," $5; blue[$1 "," $2] = $3 == 0 && $4 == 0 && $5 >= 128 }
            END {
                split(boxes, b, " ")
                out = ""
                for (k = 0; k < 2; k++) {
                    bx = b[k * 4 + 1]; by = b[k * 4 + 2]; bw = b[k * 4 + 3]; bh = b[k * 4 + 4]
                    nv = 0; bg = 0
                    for (x = bx; x < bx + bw; x++)
                        for (y = by; y < by + bh; y++) {
                            if (blue[x "," y]) nv++
                            # The background is one colour per row.
                            else if (c[x "," y] == c[refx "," y]) bg++
                        }
                    # The spent outline is grey (192) along the left of the inside.
                    edge = 0
                    for (y = by; y < by + bh; y++) if (c[(bx - 1) "," y] == "192,192,192") edge++
                    state = "other"
                    if (nv * 10 >= bw * bh * 9) state = "loaded"
                    else if (bg * 10 >= bw * bh * 9 && edge == bh) state = "spent"
                    out = out (k ? " " : "") state
                }
                print out
            }'
}

# Watches the particle windows for up to TIMEOUT-MS after a shot at the plate at (X, Y).
# Sets PART_MAX (most mapped at once), PART_ABOVE (of those, stacked above the strip),
# PART_NEAREST (nearest one to the plate when first seen), PART_OVERRIDE (all of the most
# seen are override-redirect: 1/0). Returns 1 when none appeared.
watch_particles() {
    local x=$1 y=$2 deadline info count above nearest ids
    deadline=$(($(now_ms) + $3))
    PART_MAX=0 PART_ABOVE=0 PART_NEAREST=-1 PART_OVERRIDE=0
    while [ "$(now_ms)" -lt "$deadline" ]; do
        info=$(particles "$x" "$y")
        read -r count above nearest ids <<<"$info"
        if [ "$count" -gt 0 ] && [ "$PART_NEAREST" -lt 0 ]; then
            PART_NEAREST=$nearest
            # Seen: watch a little longer for the most at once.
            deadline=$(($(now_ms) + 400))
        fi
        if [ "$count" -gt "$PART_MAX" ]; then
            PART_MAX=$count PART_ABOVE=$above PART_OVERRIDE=1
            local id
            for id in $ids; do
                xwininfo -id "$id" 2>/dev/null | grep -q 'Override Redirect State: yes' || PART_OVERRIDE=0
            done
        fi
        sleep 0.02
    done
    [ "$PART_MAX" -gt 0 ]
}

# Waits up to TIMEOUT-MS for process PID to end; returns 1 if it still runs.
wait_gone() {
    local deadline=$(($(now_ms) + $2))
    while kill -0 "$1" 2>/dev/null; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

cleanup() {
    if [ -n "${PID:-}" ] && kill -0 "$PID" 2>/dev/null; then
        kill -KILL "$PID" 2>/dev/null
        wait "$PID" 2>/dev/null
    fi
    if [ -n "${WM_PID:-}" ]; then
        kill "$WM_PID" 2>/dev/null
        wait "$WM_PID" 2>/dev/null
    fi
    [ -n "${WORK:-}" ] && rm -rf "$WORK"
}

inner() {
    local W=$1 H=$2 WM=$3 KESTRIN=$4
    WORK=$(mktemp -d)
    WM_PID=
    PID=
    trap cleanup EXIT
    SHOT=$WORK/shot.rgb

    if [ "$WM" = openbox ]; then
        if start_openbox; then
            pass "openbox is running"
        else
            fail "openbox did not start: $(tail -n 3 "$WORK/openbox.log")"
            return
        fi
    fi

    # A copy beside which the score file would be written.
    cp "$KESTRIN" "$WORK/kestrin"
    (cd "$WORK" && exec ./kestrin) >"$WORK/kestrin.log" 2>&1 &
    PID=$!

    if ! WIN=$(program_window "$PID" "$WORK/kestrin.log"); then
        fail "$WIN"
        return
    fi
    # Let a window manager reparent and place the strip, and the first paint happen.
    local deadline=$(($(now_ms) + 5000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        read -r SX SY SW SH < <(window_geometry "$WIN")
        [ "$SY" -eq $((H - STRIP_H)) ] && grab "$SHOT" &&
            [ "$(strip_convert "$SHOT" -format '%[fx:maxima]' info:)" != 0 ] && break
        sleep 0.1
    done
    STRIP_TOP=$(toplevel_of "$WIN")
    check "strip is shown at the screen's bottom: ${SW}x${SH}+${SX}+${SY}" "$SW $SH $SX $SY" = "$W $STRIP_H 0 $((H - STRIP_H))"

    # 1. The title starts a game: the green "Click!" panel appears in the middle.
    click_centre
    if wait_panel "$GREEN" 5000; then
        pass "pressing the title shows the green Click! panel ($(count_colour "$SHOT" "$GREEN") pixels of RGB($GREEN))"
    else
        fail "no green Click! panel within 5 s of pressing the title"
    fi
    local title_white
    title_white=$(strip_convert "$SHOT" -crop "$((SW - 2 * EDGE))x${SH}+${EDGE}+0" +repage \
        -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:)
    check "the title has left the strip during the game ($title_white white pixels left)" "$title_white" = 0
    find_shells "$SHOT"
    if [ -n "$SHELL_BOXES" ]; then
        pass "two loaded shell icons are shown (blue insides at $SHELL_BOXES)"
    else
        fail "no two loaded shell icons found at the strip's left end"
    fi

    # 2-3. Throw plates until one is hit: each plate allows two shots.
    local plate hit=0 shots result
    for plate in $(seq "$PLATES_TO_HIT"); do
        if [ "$plate" -gt 1 ] && ! wait_panel "$GREEN" 12000; then
            fail "plate $plate: no Click! panel after the previous plate"
            break
        fi
        click_centre
        shots=0
        local first=4500
        while [ "$shots" -lt 2 ]; do
            shoot "$first" || break
            first=1500
            shots=$((shots + 1))
            read -r px py <<<"$SHOT_AT"
            if watch_particles "$px" "$py" 1000; then
                hit=1
                break 2
            fi
            local still="gone"
            grab "$SHOT" && [ -n "$(find_plate "$SHOT")" ] && still="still flying"
            echo "NOTE: plate $plate, shot $shots at ($px,$py): no particle windows; the plate is $still"
        done
        echo "NOTE: plate $plate was not hit ($shots shots)"
    done

    if [ "$hit" -eq 1 ]; then
        pass "plate $plate hit with shot $shots at ($px,$py): particle windows appeared"
        check "at least $MIN_PARTICLES particle windows mapped at once ($PART_MAX)" "$PART_MAX" -ge "$MIN_PARTICLES"
        check "all $PART_MAX particle windows are stacked above the strip ($PART_ABOVE)" "$PART_ABOVE" -eq "$PART_MAX"
        check "the particle windows are override-redirect" "$PART_OVERRIDE" -eq 1
        check "particles start at the plate: nearest one $PART_NEAREST px from it when first seen" \
            "$PART_NEAREST" -le 60
        if [ -n "$SHELL_BOXES" ]; then
            grab "$SHOT"
            result=$(shell_state "$SHOT")
            local want="spent loaded"
            [ "$shots" -eq 2 ] && want="spent spent"
            check "after $shots shot(s) the shell icons are \"$want\" ($result)" "$result" = "$want"
        fi
        # The hidden plate flies on; then the next plate is offered with both cartridges.
        if wait_panel "$GREEN" 12000; then
            pass "after the hit the next Click! panel appears"
            [ -n "$SHELL_BOXES" ] && check "the next plate has both cartridges ($(shell_state "$SHOT"))" \
                "$(shell_state "$SHOT")" = "loaded loaded"
        else
            fail "no Click! panel within 12 s after the hit"
        fi
    else
        fail "no plate hit in $PLATES_TO_HIT plates"
        wait_panel "$GREEN" 12000
    fi

    # 4. A plate left alone: after its flight the yellow panel says "Miss!!".
    click_centre
    local ready="$WORK/ready.rgb" miss="$WORK/miss.rgb"
    if wait_panel "$YELLOW" 3000; then
        pass "clicking the panel shows the yellow Ready... panel"
        panel_pixels "$SHOT" "$ready"
        local seen=0
        deadline=$(($(now_ms) + 4000))
        while [ "$(now_ms)" -lt "$deadline" ]; do
            grab "$SHOT" && [ -n "$(find_plate "$SHOT")" ] && { seen=1; break; }
        done
        check "the plate is launched after the Ready... wait" "$seen" -eq 1
        # After the flight comes the yellow notice, then the green panel for the next plate.
        local next=""
        deadline=$(($(now_ms) + 9000))
        while [ -z "$next" ] && [ "$(now_ms)" -lt "$deadline" ] && kill -0 "$PID" 2>/dev/null; do
            grab "$SHOT" || continue
            if [ "$(count_colour "$SHOT" "$YELLOW")" -ge "$PANEL_MIN" ]; then
                next=yellow
            elif [ "$(count_colour "$SHOT" "$GREEN")" -ge "$PANEL_MIN" ]; then
                next=green
            fi
        done
        case $next in
        yellow)
            pass "the missed plate brings back the yellow panel"
            panel_pixels "$SHOT" "$miss"
            check "the plate is gone when the yellow panel comes back" -z "$(find_plate "$SHOT")"
            if cmp -s "$ready" "$miss"; then
                fail "the yellow panel after the flight looks exactly like Ready..., not a Miss!! notice"
            else
                pass "the yellow panel after the flight has another caption than Ready... (Miss!!)"
            fi
            if wait_panel "$GREEN" 5000; then
                pass "after the Miss!! notice the next Click! panel appears"
            else
                fail "no Click! panel within 5 s after the Miss!! notice"
            fi
            ;;
        green)
            fail "the missed plate's flight ended and the next Click! panel came without the yellow Miss!! panel on screen in between"
            ;;
        *)
            fail "neither a Miss!! nor a Click! panel within 9 s of the launch"
            ;;
        esac
    else
        fail "no yellow Ready... panel within 3 s of clicking the panel"
    fi

    # 5. Right press on the background opens the popup menu; its last item, Exit, ends the program.
    local before after menu=""
    before=$(xdotool search --onlyvisible --pid "$PID" 2>/dev/null | sort)
    local mx=$((SX + SW / 4)) my=$((SY + SH / 2))
    xdotool mousemove "$mx" "$my" click 3
    deadline=$(($(now_ms) + 3000))
    while [ -z "$menu" ] && [ "$(now_ms)" -lt "$deadline" ]; do
        after=$(xdotool search --onlyvisible --pid "$PID" 2>/dev/null | sort)
        menu=$(comm -13 <(echo "$before") <(echo "$after") | head -n 1)
        [ -z "$menu" ] && sleep 0.05
    done
    if [ -n "$menu" ]; then
        local gx gy gw gh
        read -r gx gy gw gh < <(window_geometry "$menu")
        pass "right press on the strip opens a popup window (${gw}x${gh}+${gx}+${gy})"
        # At the bottom of the screen the menu opens upwards, its corner at the press.
        local ex=$((gx - mx)) ey=$((gy + gh - my))
        check "the popup's bottom-left corner is at the press ($mx,$my), above it: off by ($ex,$ey)" \
            "${ex#-}" -le 2 -a "${ey#-}" -le 2 -a "$gy" -ge 0
        sleep 0.2
        xdotool key Up
        sleep 0.1
        xdotool key Return
    else
        fail "no popup menu within 3 s of the right press"
        xdotool key Escape
    fi
    if wait_gone "$PID" 3000; then
        wait "$PID"
        local status=$?
        pass "choosing Exit ends the program"
        check "exit status is 0 ($status)" "$status" -eq 0
    else
        fail "the program still runs 3 s after choosing Exit"
    fi
    check "no score file was written for the dropped game" ! -e "$WORK/Qorvel.ini"
    PID=
}

if [ "${1:-}" = "--inner" ]; then
    shift
    announce_server
    inner "$@"
    exit $((failures > 0))
fi

# --- outer part ---------------------------------------------------------------------------

KESTRIN=${1:?usage: play_e2e.sh /path/to/kestrin}
require_program_and_tools "$KESTRIN" xauth xdotool xwininfo xprop import "$CONVERT" cmp comm
WM=none
if command -v openbox >/dev/null; then
    WM=openbox
else
    echo "NOTE: openbox is not installed; the game runs without a window manager"
fi

SELF=$(readlink -f "$0")
KESTRIN=$(readlink -f "$KESTRIN")
run_in_xvfb "$SCREEN_W" "$SCREEN_H" 100 3 "$SELF" --inner "$SCREEN_W" "$SCREEN_H" "$WM" "$KESTRIN"
rc=$?
if [ $rc -eq 77 ]; then
    echo "SKIP: Xvfb cannot start a server here${XVFB_ERROR:+ ($XVFB_ERROR)}"
    exit 77
fi
if [ $rc -eq 0 ]; then
    echo "e2e_play: all checks passed"
    exit 0
fi
[ $rc -eq 124 ] && echo "FAIL: the game did not finish within 100 s"
echo "e2e_play: checks failed"
exit 1
