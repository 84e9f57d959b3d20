# Shared by the scripts that play the real program: screenshots of the strip, the ready
# panel, the flying plate and shooting at it, and the burst's particle windows. Source it after
# common.sh; the functions use WIN (the strip's window), SX SY SW SH (its geometry), PID (the
# program), SHOT and WORK (a scratch file and folder) and STRIP_TOP (the strip's top-level).

EDGE=100             # columns at each end of the strip holding the labels and shell icons
GREEN="192,255,192"  # the "Click!" panel
PANEL_MIN=300        # panel-coloured pixels that make a shown panel (it has 55x21 pixels)

now_ms() { local t=${EPOCHREALTIME/[.,]/}; echo $((t / 1000)); }

# Screenshot of the strip window as raw 8-bit RGB (what is on screen there, particles included).
grab() { import -window "$WIN" -depth 8 "rgb:$1" 2>/dev/null; }

# Runs convert on a raw strip screenshot FILE with the remaining arguments.
strip_convert() {
    local file=$1
    shift
    "$CONVERT" -size "${SW}x${SH}" -depth 8 "rgb:$file" "$@" 2>/dev/null
}

# count_colour FILE R,G,B: pixels of exactly that colour in the middle of the strip, where the
# panel is centred.
count_colour() {
    strip_convert "$1" -crop "90x${SH}+$((SW / 2 - 45))+0" +repage \
        -fill black +opaque "rgb($2)" -fill white -opaque "rgb($2)" \
        -format '%[fx:round(mean*w*h)]' info:
}

# Prints "x y" (strip coordinates of its 14x8 box) of the plate in a screenshot, or nothing.
# The plate's white is two rows, 6 and 10 pixels wide, from (+4,+2) and (+2,+3) of its box;
# the strip's ends (labels, icons) are left out.
find_plate() {
    local found bw bh bx by count
    found=$(strip_convert "$1" -crop "$((SW - 2 * EDGE))x${SH}+${EDGE}+0" +repage \
        -fill black +opaque white -format '%@ %[fx:round(mean*w*h)]' info:)
    [[ $found =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)\ ([0-9]+)$ ]] || return 0
    bw=${BASH_REMATCH[1]} bh=${BASH_REMATCH[2]} bx=${BASH_REMATCH[3]} by=${BASH_REMATCH[4]}
    count=${BASH_REMATCH[5]}
    if [ "$bw" -eq 10 ] && [ "$bh" -eq 2 ] && [ "$count" -eq 16 ]; then
        echo "$((bx + EDGE - 2)) $((by - 2))"
    fi
}

# wait_panel COLOUR TIMEOUT-MS: waits until the panel in that colour shows; leaves the
# screenshot in $SHOT. Returns 1 on timeout.
wait_panel() {
    local deadline=$(($(now_ms) + $2))
    while [ "$(now_ms)" -lt "$deadline" ] && kill -0 "$PID" 2>/dev/null; do
        grab "$SHOT" && [ "$(count_colour "$SHOT" "$1")" -ge "$PANEL_MIN" ] 2>/dev/null && return 0
        sleep 0.02
    done
    return 1
}

# Viewable 2x2 top-level windows of the program, from the root's children (listed topmost
# first). Prints "COUNT ABOVE NEAREST IDS...": how many, how many of them are stacked above the
# strip's top-level window, and the distance of the nearest to (PX, PY).
particles() {
    local visible
    visible=$(xdotool search --onlyvisible --pid "$PID" 2>/dev/null | while read -r id; do printf '0x%x ' "$id"; done)
    xwininfo -root -children | awk -v vis="$visible" -v strip="$STRIP_TOP" -v px="$1" -v py="$2" '
        BEGIN { n = split(vis, v, " "); for (i = 1; i <= n; i++) shown[v[i]] = 1; nearest = -1 }
        $1 ~ /^0x[0-9a-f]+$/ {
            i++
            if ($1 == strip) stripat = i
            for (f = 2; f <= NF; f++) if ($f ~ /^[0-9]+x[0-9]+[+-][0-9]+[+-][0-9]+$/) break
            if (f > NF || !($1 in shown)) next
            split($f, g, /[x+]/)
            if (g[1] != 2 || g[2] != 2) next
            count++; at[count] = i; ids = ids " " $1
            d = sqrt((g[3] - px) ^ 2 + (g[4] - py) ^ 2)
            if (nearest < 0 || d < nearest) nearest = d
        }
        END {
            for (k = 1; k <= count; k++) if (stripat && at[k] < stripat) above++
            printf "%d %d %d%s\n", count, above, nearest, ids
        }'
}

# aim DX DY: prints the point "x y", relative to the plate's box in the next frame, to press
# when the plate moves DX, DY pixels a frame. The plate's outline is rows 1-4 of its box,
# columns 4-9, 2-11, 1-12, 1-12. The point is inside the next frame's outline, also when that
# frame lands a pixel off the prediction, and as far as can be inside the frame after it too,
# for a press that arrives late.
aim() {
    awk -v dx="$1" -v dy="$2" '
        function margin(x, y,   l, r) {
            if (y < 1 || y > 4) return -1
            l = (y == 1 ? 4 : y == 2 ? 2 : 1); r = 13 - l
            if (x < l || x > r) return -1
            return (x - l < r - x ? x - l : r - x)
        }
        BEGIN {
            # Frame offsets, each with its weight: the next frame and its 1-pixel misses
            # first, then the frame after.
            n = split("0 0 4  1 0 2  -1 0 2  0 1 2  0 -1 2", a, " ")
            m = split(dx " " dy " 2  " dx + 1 " " dy " 1  " dx - 1 " " dy " 1  " dx " " dy + 1 " 1  " dx " " dy - 1 " 1", b, " ")
            for (i = 1; i <= m; i++) a[n + i] = b[i]
            n += m
            best = -1
            for (x = 0; x < 14; x++)
                for (y = 0; y < 8; y++) {
                    score = 0; sum = 0
                    for (i = 1; i <= n; i += 3) {
                        g = margin(x - a[i], y - a[i + 1])
                        if (g >= 0) { score += a[i + 2]; sum += a[i + 2] * g }
                    }
                    if (score > best || (score == best && sum > bestsum)) { best = score; bestsum = sum; bx = x; by = y }
                }
            print bx, by
        }'
}

# Shoots once at the flying plate: waits (up to FIRST-MS) for it, finds it in two consecutive
# frames, puts the pointer where the next frame will draw it (see aim), and presses the left
# button as soon as that frame is on screen.
# Sets SHOT_AT to the absolute "x y" of the plate's box aimed at. Returns 1 when no plate flies.
shoot() {
    local first=$1 deadline lost_after=600 pos x y px py dx dy prev="" t ax ay ox oy wait_until
    deadline=$(($(now_ms) + first))
    while :; do
        t=$(now_ms)
        [ "$t" -lt "$deadline" ] && kill -0 "$PID" 2>/dev/null || return 1
        grab "$SHOT" || continue
        pos=$(find_plate "$SHOT")
        if [ -z "$pos" ]; then
            prev=""
            continue
        fi
        deadline=$((t + lost_after))
        read -r x y <<<"$pos"
        if [ -n "$prev" ]; then
            # The same frame again.
            [ "$pos" = "$prev" ] && continue
            read -r px py <<<"$prev"
            dx=$((x - px)) dy=$((y - py))
            # One frame moves the plate 4-7 pixels sideways and at most 3 up or down; a
            # larger step means a frame went by unseen.
            if [ "$dx" -ne 0 ] && [ "${dx#-}" -ge 4 ] && [ "${dx#-}" -le 7 ] && [ "${dy#-}" -le 3 ]; then
                ax=$((SX + x + dx)) ay=$((SY + y + dy))
                read -r ox oy < <(aim "$dx" "$dy")
                xdotool mousemove "$((ax + ox))" "$((ay + oy))"
                cp "$SHOT" "$WORK/frame.rgb"
                wait_until=$(($(now_ms) + 300))
                while [ "$(now_ms)" -lt "$wait_until" ]; do
                    grab "$SHOT" && ! cmp -s "$SHOT" "$WORK/frame.rgb" && break
                done
                xdotool click 1
                SHOT_AT="$ax $ay"
                return 0
            fi
        fi
        prev=$pos
    done
}

# Clicks the middle of the strip (the title, or the panel centred there).
click_centre() { xdotool mousemove "$((SX + SW / 2))" "$((SY + SH / 2))" click 1; }
