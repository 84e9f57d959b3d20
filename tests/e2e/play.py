"""A game played like a person with xdotool: the real program (a copy in the recording's
folder, so a score file would land there) on a 1280x720 screen, with or without a window
manager. It presses the title, throws plates from the green panel, finds the flying plate
in screenshots and presses it, watches the burst of particle windows and the spent
cartridge, lets one plate fly by for the Miss!! notice, then leaves through the popup
menu's Exit.

Parameters: wm=none|openbox, lang=en (first plays the game out in English and reads its texts).
With runner=wine (see e2e.py) the game is also played out, and what Wine shows of the result
message and the menu's lines is judged from their windows and pictures.
"""

import importlib.util
import os
import re
import subprocess
import time

import e2e
from e2e import STRIP_H

SCREEN_W, SCREEN_H = 1280, 720
EDGE = 100                    # columns at each end of the strip: labels and shell icons
GREEN = (192, 255, 192)       # the Click! panel
YELLOW = (255, 255, 192)      # the Ready... and Miss!! panel
WHITE = (255, 255, 255)       # the plate's dome and the title's lettering
SPENT_GREY = (192, 192, 192)  # the outline of a spent shell
PANEL_MIN = 300               # panel-coloured pixels of a shown panel (it has 55x21)
PLATES_TO_HIT = 3             # plates thrown before the hit gives up
MENU_OFF = 2                  # pixels the popup's corner may lie off the press
PARTICLE_COUNT = 19
MIN_AT_ONCE = 5               # particle windows that must be seen mapped at the same time
NEAR_PLATE = 60               # pixels from the plate within which the burst starts
LOCALES = {"en": {"LC_ALL": "C.UTF-8", "LANG": "C.UTF-8"}}


# --- reading the strip's pictures ------------------------------------------------------------

def scale_of(strip):
    """Device pixels per logical pixel in a picture of the whole strip (QT_SCALE_FACTOR)."""
    return max(1, strip.size[1] // STRIP_H)


def panel_area(strip):
    """The middle of the strip, where the panel is centred."""
    w, h = strip.size
    half = 45 * scale_of(strip)
    return strip.crop((w // 2 - half, 0, w // 2 + half, h))


def panel_shows(strip, colour):
    return e2e.count_colour(panel_area(strip), colour) >= PANEL_MIN


def find_plate(strip):
    """(x, y) in strip pixels of the plate's 14x8 box, or None. The plate's white is two
    rows, 6 and 10 logical pixels wide, from (+4,+2) and (+2,+3) of its box; the strip's
    ends (labels, icons) are left out."""
    w, h = strip.size
    scale = scale_of(strip)
    edge = EDGE * scale
    mask = e2e.colour_mask(strip.crop((edge, 0, w - edge, h)), WHITE)
    box = mask.getbbox()
    if (not box or (box[2] - box[0], box[3] - box[1]) != (10 * scale, 2 * scale)
            or mask.histogram()[255] != 16 * scale * scale):
        return None
    return box[0] + edge - 2 * scale, box[1] - 2 * scale


def white_in_middle(strip):
    w, h = strip.size
    return e2e.count_colour(strip.crop((EDGE, 0, w - EDGE, h)), WHITE)


def _is_blue(pixel):
    # The inside of a loaded shell icon is navy with a blue highlight: pure blues, found
    # nowhere else at the strip's left end.
    r, g, b = pixel
    return r == 0 and g == 0 and b >= 128


def find_shells(strip):
    """The boxes (x, y, w, h) of the blue insides of the two loaded shell icons, left one
    first, or None when there are not exactly two filled ones."""
    left_end = strip.crop((0, 0, EDGE, strip.size[1]))
    blue = [(x, y) for x in range(left_end.size[0]) for y in range(left_end.size[1])
            if _is_blue(left_end.getpixel((x, y)))]
    columns = sorted({x for x, _ in blue})
    groups = []
    for x in columns:  # a gap of more than one column starts the next icon
        if groups and x <= groups[-1][-1] + 1:
            groups[-1].append(x)
        else:
            groups.append([x])
    if len(groups) != 2:
        return None
    boxes = []
    for group in groups:
        points = [(x, y) for x, y in blue if group[0] <= x <= group[-1]]
        x0, x1 = group[0], group[-1]
        y0, y1 = min(y for _, y in points), max(y for _, y in points)
        if len(points) != (x1 - x0 + 1) * (y1 - y0 + 1):
            return None
        boxes.append((x0, y0, x1 - x0 + 1, y1 - y0 + 1))
    return boxes


def shell_state(strip, boxes):
    """The state of the two icons: "loaded" (inside blue), "spent" (a grey outline whose
    inside shows the background: its region has no inside) or "other", for each."""
    states = []
    reference_x = EDGE - 5  # the background is one colour per row
    for bx, by, bw, bh in boxes:
        blue = background = 0
        for x in range(bx, bx + bw):
            for y in range(by, by + bh):
                pixel = strip.getpixel((x, y))
                if _is_blue(pixel):
                    blue += 1
                elif pixel == strip.getpixel((reference_x, y)):
                    background += 1
        edge = sum(strip.getpixel((bx - 1, y)) == SPENT_GREY for y in range(by, by + bh))
        if blue * 10 >= bw * bh * 9:
            states.append("loaded")
        elif background * 10 >= bw * bh * 9 and edge == bh:
            states.append("spent")
        else:
            states.append("other")
    return states


def aim(dx, dy):
    """The point (x, y), relative to the plate's box in the next frame, to press when the
    plate moves (dx, dy) pixels a frame. The outline is rows 1-4 of the box, columns 4-9,
    2-11, 1-12, 1-12. The point lies inside the next frame's outline also when that frame
    lands a pixel off the prediction, and as far inside the frame after it as can be, for a
    press that arrives late."""
    def margin(x, y):
        if not 1 <= y <= 4:
            return -1
        left = {1: 4, 2: 2}.get(y, 1)
        right = 13 - left
        if not left <= x <= right:
            return -1
        return min(x - left, right - x)
    # Frame offsets with their weights: the next frame and its 1-pixel misses, then the next.
    offsets = [(0, 0, 4), (1, 0, 2), (-1, 0, 2), (0, 1, 2), (0, -1, 2),
               (dx, dy, 2), (dx + 1, dy, 1), (dx - 1, dy, 1), (dx, dy + 1, 1), (dx, dy - 1, 1)]
    best = None
    for x in range(14):
        for y in range(8):
            score = total = 0
            for ox, oy, weight in offsets:
                m = margin(x - ox, y - oy)
                if m >= 0:
                    score += weight
                    total += weight * m
            if best is None or (score, total) > best[0]:
                best = ((score, total), (x, y))
    return best[1]


# --- the recording ---------------------------------------------------------------------------

class Player:
    """Plays on a session: the strip's place, presses, and waits on what the screen shows."""

    def __init__(self, session, env=None):
        """Starts the program on the session and waits for its strip."""
        self.session = session
        self.program, self.window = session.start_strip(env)
        self.x, self.y, self.w, self.h = session.facts["strip"]
        self.scale = max(1, self.h // STRIP_H)  # device pixels per logical pixel

    def alive(self):
        return self.program.poll() is None

    def grab(self):
        return self.session.grab((self.x, self.y, self.x + self.w, self.y + self.h))

    def start_game(self):
        """Presses the title, which starts a game; returns the first picture of the Click! panel."""
        self.click_centre()
        started = self.wait_panel(GREEN, 5)
        if started is None:
            raise RuntimeError("no green Click! panel within 5 s of pressing the title")
        return started

    def click_centre(self):
        self.session.xdotool("mousemove", self.x + self.w // 2, self.y + self.h // 2, "click", 1)

    def wait_panel(self, colour, timeout):
        """The first screenshot that shows the panel in that colour, or None."""
        return e2e.wait_until(lambda: self.shot_if(lambda s: panel_shows(s, colour)), timeout, 0.02)

    def wait_plate(self, timeout):
        return e2e.wait_until(lambda: self.shot_if(find_plate), timeout, 0)

    def shot_if(self, condition):
        """A screenshot of the strip when it meets the condition, else None."""
        if not self.alive():
            return None
        shot = self.grab()
        return shot if condition(shot) else None

    def shoot(self, first_timeout, lowest=None):
        """Shoots once at the flying plate: finds it in two consecutive frames, puts the
        pointer where the next frame will draw it, and presses as soon as that frame is on
        the screen; with `lowest`, only once the plate's box starts at or above that row of
        the strip (logical pixels). Returns the absolute (x, y) of the plate's box aimed at,
        or None when no plate flies."""
        deadline = time.monotonic() + first_timeout
        previous = None
        while time.monotonic() < deadline and self.alive():
            shot = self.grab()
            position = find_plate(shot)
            if position is None:
                previous = None
                continue
            deadline = time.monotonic() + 0.6  # the plate may be lost between frames
            if previous is not None and position != previous:
                s = self.scale
                dx, dy = position[0] - previous[0], position[1] - previous[1]
                # A frame moves the plate 4-7 logical pixels sideways and at most 3 up or
                # down; a larger step means a frame went by unseen.
                high_enough = lowest is None or position[1] + dy <= lowest * s
                if 4 * s <= abs(dx) <= 7 * s and abs(dy) <= 3 * s and high_enough:
                    ax, ay = self.x + position[0] + dx, self.y + position[1] + dy
                    ox, oy = aim(dx // s, dy // s)
                    # The middle of the device pixels that show the logical pixel aimed at.
                    self.session.xdotool("mousemove", ax + ox * s + s // 2, ay + oy * s + s // 2)
                    e2e.wait_until(lambda: self.grab().tobytes() != shot.tobytes(), 0.3, 0)
                    self.session.xdotool("click", 1)
                    return ax, ay
            previous = position
        return None

    def particles(self):
        """The shown particle windows (the program's viewable windows of a particle's 2x2
        logical pixels) as {id: [x, y, w, h]}, and every top-level window, topmost first."""
        visible = set(self.session.visible_windows(self.program.pid))
        stacking = self.session.stacking()
        size = [2 * self.scale, 2 * self.scale]
        dots = {window: geometry for window, geometry in stacking
                if window in visible and geometry[2:] == size}
        return dots, [window for window, _ in stacking]

    def watch_particles(self, at, strip_top, timeout):
        """Watches the particle windows after a shot at the plate at `at`. Returns None when
        none appeared, else what was seen."""
        seen = {"max_at_once": 0, "above_strip_at_max": 0, "nearest_first_seen": None, "ids": []}
        ids = set()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            dots, order = self.particles()
            strip_at = order.index(strip_top) if strip_top in order else None
            ids.update(dots)
            if dots and seen["nearest_first_seen"] is None:
                seen["nearest_first_seen"] = min(
                    ((g[0] - at[0]) ** 2 + (g[1] - at[1]) ** 2) ** 0.5 for g in dots.values())
                deadline = time.monotonic() + 0.4  # seen: watch a little longer for the most at once
            if len(dots) > seen["max_at_once"]:
                seen["max_at_once"] = len(dots)
                seen["above_strip_at_max"] = sum(strip_at is not None and order.index(w) < strip_at
                                                 for w in dots)
            time.sleep(0.01)
        if not ids:
            return None
        seen["ids"] = sorted(ids)
        # The windows stay in the pool after the burst, so their attributes can be read now.
        seen["override_redirect"] = all(self.session.override_redirect(w) for w in ids)
        return seen


class Accessibility:
    """What Qt draws, as exact texts on the accessibility bus of a session bus of our own."""

    def __init__(self, session):
        if not e2e.which("dbus-daemon") or importlib.util.find_spec("pyatspi") is None:
            raise e2e.Skip("dbus-daemon or python3-pyatspi not installed (see tools/install-deps.sh)")
        bus = session.start_client("dbus-daemon", "--session", "--nofork", "--print-address=1",
                                   stdout=subprocess.PIPE, start_new_session=True)
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        import pyatspi
        from gi.repository import GLib
        self.pyatspi, self.context, self.shown = pyatspi, GLib.MainContext.default(), []
        pyatspi.Registry.registerEventListener(self.on_showing, "object:state-changed:showing")
        pyatspi.Registry.getDesktop(0)  # starts the registry, which Qt looks for as it starts

    def on_showing(self, event):  # popups are no children of the application: caught as they show
        if event.detail1 and event.source.getRoleName() in ("popup menu", "alert"):
            self.shown.append(event.source)

    def wait_shown(self, count, timeout=5):
        """The popups and messages shown since the list was last emptied, once there are `count`."""
        def enough():
            while self.context.pending():
                self.context.iteration(False)
            return len(self.shown) >= count
        if not e2e.wait_until(enough, timeout):
            raise RuntimeError(f"{len(self.shown)} of {count} popups or messages shown on the accessibility bus")
        return self.shown

    def texts(self, accessible):
        """The names of the object and of everything in it, depth first, empty ones left out."""
        return [name for name in [accessible.name] if name] + [t for child in accessible for t in self.texts(child)]


def record(session, params):
    session.start_desktop(SCREEN_W, SCREEN_H, params.get("wm", "none"))
    reader = Accessibility(session) if "lang" in params else None
    player = Player(session, reader and {**LOCALES[params["lang"]], "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"})
    strip_top = session.toplevel(player.window)

    session.save_image("game_started", player.start_game())
    session.fact("click_panel_after_title", True)

    play_until_hit(session, player, strip_top)
    let_a_plate_fly_by(session, player)
    if reader:
        read_the_end_of_the_game(session, player, reader)
        player.start_game()
    elif session.wine_prefix:
        see_the_end_of_the_game(session, player)
        player.start_game()
    exit_through_the_menu(session, player)


def hit_a_plate(player, plates, watch, shots, lowest=None):
    """Throws up to `plates` plates from the shown Click! panel, two shots a plate at most
    (at or above row `lowest` of the strip, see Player.shoot), until `watch(at)`, called
    after each shot at the plate's box `at`, sees a burst and returns what it saw. Appends
    every shot to `shots` as it goes, so a recording that breaks keeps them. Returns
    (plate, shot, at, seen), or None when no plate was hit."""
    for plate in range(1, plates + 1):
        if plate > 1 and player.wait_panel(GREEN, 12) is None:
            raise RuntimeError(f"plate {plate}: no Click! panel after the previous plate")
        player.click_centre()
        first_timeout = 4.5
        for shot_no in (1, 2):
            at = player.shoot(first_timeout, lowest)
            if at is None:
                break
            first_timeout = 1.5
            seen = watch(at)
            shots.append({"plate": plate, "shot": shot_no, "at": list(at), "particles": seen is not None})
            if seen is not None:
                return plate, shot_no, at, seen
    return None


def play_until_hit(session, player, strip_top):
    """Throws plates until one is hit, then waits for the next plate's panel."""
    shots = []
    session.fact("shots", shots)
    hit = hit_a_plate(player, PLATES_TO_HIT, lambda at: player.watch_particles(at, strip_top, 1.0), shots)
    if hit is None:
        player.wait_panel(GREEN, 12)
        return
    plate, shot_no, at, burst = hit
    session.save_image("after_hit", player.grab())
    burst.update(plate=plate, shots=shot_no, at=list(at))
    session.fact("hit", burst)
    # The hidden plate flies on; then the next plate is offered.
    next_plate = player.wait_panel(GREEN, 12)
    session.fact("click_panel_after_hit", next_plate is not None)
    if next_plate is not None:
        session.save_image("next_plate", next_plate)


def let_a_plate_fly_by(session, player):
    """Throws a plate and leaves it: after its flight the yellow panel says Miss!!."""
    player.click_centre()
    ready = player.wait_panel(YELLOW, 3)
    session.fact("ready_panel", ready is not None)
    if ready is None:
        return
    session.save_image("ready", ready)
    session.fact("plate_launched", player.wait_plate(4) is not None)

    # After the flight comes the yellow notice, then the green panel for the next plate.
    def next_panel():
        shot = player.shot_if(lambda _: True)
        if shot is None:
            return None
        if panel_shows(shot, YELLOW):
            return "yellow", shot
        if panel_shows(shot, GREEN):
            return "green", shot
        return None
    seen = e2e.wait_until(next_panel, 9, 0)
    session.fact("panel_after_flight", seen[0] if seen else None)
    if seen:
        session.save_image("after_flight", seen[1])
    if seen and seen[0] == "yellow":
        session.fact("click_panel_after_miss", player.wait_panel(GREEN, 5) is not None)


def play_out_the_game(player, finished, timeout=20):
    """Lets a plate fly from each Click! panel until `finished()` says the result message shows."""
    for _ in range(25 + 1):  # a game's plates, then its end
        if not e2e.wait_until(lambda: finished() or player.wait_panel(GREEN, 0), timeout, 0.1) or finished():
            break
        player.click_centre()
        e2e.wait_until(lambda: player.shot_if(lambda s: not panel_shows(s, GREEN)), 5)
    return finished()


def read_the_end_of_the_game(session, player, reader):
    """Plays the game out; reads its result message, closes it, and reads the menu with its scores."""
    message = (play_out_the_game(player, lambda: reader.wait_shown(0)) or reader.wait_shown(1))[-1]
    session.fact("result_texts", reader.texts(message))
    reader.pyatspi.findDescendant(message, lambda a: a.getRoleName() == "push button").queryAction().doAction(0)
    e2e.wait_until(lambda: player.shot_if(lambda s: white_in_middle(s) > 0), 5)  # the title is back
    reader.shown.clear()
    session.xdotool("mousemove", player.x + player.w // 4, player.y + player.h // 2, "click", 3)
    reader.wait_shown(1)
    session.xdotool("key", "Down", "Right")  # the first line, High scores, opens its submenu
    menu = reader.wait_shown(2)[0]
    session.fact("menu_lines", [item.name for item in menu if item.name])
    session.fact("score_lines", reader.texts(menu[0][0]))
    session.xdotool("key", "Escape", "Escape")


def lines_of_lettering(picture, border=3):
    """The lines of text in a picture of a menu, top down, as the box [left, top, right,
    bottom] of each, in the picture's pixels: bands of rows in which some pixel differs from
    the row's own colour, the border left out, and at least three rows high (a separator's
    line is one or two)."""
    w, h = picture.size
    lines, band = [], None
    for y in range(border, h - border):
        row = [picture.getpixel((x, y)) for x in range(border, w - border)]
        ground = max(set(row), key=row.count)
        marks = [x + border for x, pixel in enumerate(row) if not e2e.near(pixel, ground, 32)]
        if not marks:
            band = None
        elif band is None:
            band = [marks[0], y, marks[-1], y]
            lines.append(band)
        else:
            band[:] = [min(band[0], marks[0]), band[1], max(band[2], marks[-1]), y]
    return [line for line in lines if line[3] - line[1] >= 2]


def see_the_end_of_the_game(session, player):
    """Under Wine, which has no accessibility bus: plays the game out until the result
    message shows (a window of the program's larger than a particle, beside the strip) and
    closes it with Enter; then opens the menu and, by pointing at its first line, the
    high-score lines, and counts the lines of lettering in each."""
    def message():
        return [w for w in session.visible_windows(player.program.pid)
                if w != player.window and (session.geometry(w) or [0, 0, 0, 0])[2] > 4 * player.scale]
    shown = play_out_the_game(player, lambda: bool(message()))
    session.fact("result_message", shown)
    if not shown:
        return
    session.save_image("result_message", session.picture(message()[0]))
    session.xdotool("key", "Return")
    session.fact("result_message_closed", bool(e2e.wait_until(lambda: not message(), 5)))
    e2e.wait_until(lambda: player.shot_if(lambda s: white_in_middle(s) > 0), 5)  # the title is back

    before = set(session.visible_windows(player.program.pid))
    def new_windows():
        return sorted(set(session.visible_windows(player.program.pid)) - before,
                      key=lambda w: session.geometry(w)[0])
    session.xdotool("mousemove", player.x + player.w // 4, player.y + player.h // 2, "click", 3)
    menu = e2e.wait_until(new_windows, 3)
    if not menu:
        return
    time.sleep(0.2)
    picture = session.picture(menu[0])
    session.save_image("menu", picture)
    lines = lines_of_lettering(picture)
    session.fact("menu_lines", lines)
    if lines:  # the pointer on the first line opens its submenu, none of whose lines it marks
        x, y = session.geometry(menu[0])[:2]
        left, top, right, bottom = lines[0]
        session.xdotool("mousemove", x + (left + right) // 2, y + (top + bottom) // 2)
        submenu = e2e.wait_until(lambda: len(new_windows()) > 1 and new_windows(), 3)
        if submenu:
            time.sleep(0.2)
            scores = session.picture(submenu[-1])
            session.save_image("score_lines", scores)
            session.fact("score_lines", lines_of_lettering(scores))
    session.xdotool("key", "Escape", "Escape")


def exit_through_the_menu(session, player):
    """A right press on the background opens the popup menu; its last item, Exit, ends
    the program."""
    score_file = session.program_folder / "Qorvel.ini"
    session.fact("score_file_before_exit", score_file.read_text() if score_file.exists() else None)
    before = set(session.visible_windows(player.program.pid))
    press = [player.x + player.w // 4, player.y + player.h // 2]
    session.xdotool("mousemove", *press, "click", 3)
    found = []

    def menu_shown():
        found[:] = sorted(set(session.visible_windows(player.program.pid)) - before)
        return bool(found)
    e2e.wait_until(menu_shown, 3)
    session.fact("menu", {"press": press, "geometry": session.geometry(found[0]) if found else None})
    if found:
        time.sleep(0.2)
        session.xdotool("key", "Up")
        time.sleep(0.1)
        session.xdotool("key", "Return")
    else:
        session.xdotool("key", "Escape")
    chosen = time.monotonic()
    try:
        status = player.program.wait(3)
        session.fact("exit", {"ended": True, "status": status, "seconds": round(time.monotonic() - chosen, 3)})
    except subprocess.TimeoutExpired:
        session.fact("exit", {"ended": False})
    session.fact("score_file_after_exit", score_file.read_text() if score_file.exists() else None)


# --- the checks --------------------------------------------------------------------------------

class Checks(e2e.FactsCase):

    def test_strip_is_at_the_screen_bottom(self):
        self.assertEqual(self.fact("strip"), [0, SCREEN_H - STRIP_H, SCREEN_W, STRIP_H])

    def test_title_press_shows_the_click_panel(self):
        self.assertTrue(self.fact("click_panel_after_title"), "no green Click! panel within 5 s")
        started = self.image("game_started")
        self.assertEqual(white_in_middle(started), 0, "the title has left the strip during the game")

    def test_game_shows_two_loaded_shells(self):
        boxes = find_shells(self.image("game_started"))
        self.assertIsNotNone(boxes, "no two loaded shell icons at the strip's left end")

    def test_plate_is_hit_and_bursts(self):
        hit = self.fact("hit") if "hit" in self.facts else None
        self.assertIsNotNone(hit, f"no plate hit in {PLATES_TO_HIT} plates: {self.facts.get('shots')}")

    def test_burst_flies_nineteen_particles_above_the_strip(self):
        hit = self.fact("hit")
        self.assertEqual(len(hit["ids"]), PARTICLE_COUNT, "particle windows shown during the burst")
        self.assertGreaterEqual(hit["max_at_once"], MIN_AT_ONCE, "particle windows mapped at the same time")
        self.assertEqual(hit["above_strip_at_max"], hit["max_at_once"],
                         f"of {hit['max_at_once']} particles mapped at once, stacked above the strip")
        self.assertTrue(hit["override_redirect"], "the particle windows are override-redirect")

    def test_burst_starts_at_the_plate(self):
        hit = self.fact("hit")
        self.assertLessEqual(hit["nearest_first_seen"], NEAR_PLATE,
                             f"nearest particle to the plate at {hit['at']} when first seen")

    def test_hit_spends_a_cartridge_and_the_next_plate_has_two(self):
        hit = self.fact("hit")
        boxes = find_shells(self.image("game_started"))
        self.assertIsNotNone(boxes, "no shell icons to compare")
        want = ["spent", "loaded"] if hit["shots"] == 1 else ["spent", "spent"]
        self.assertEqual(shell_state(self.image("after_hit"), boxes), want, f"after {hit['shots']} shot(s)")
        self.assertTrue(self.fact("click_panel_after_hit"), "no Click! panel within 12 s after the hit")
        self.assertEqual(shell_state(self.image("next_plate"), boxes), ["loaded", "loaded"])

    def test_plate_is_launched_after_the_ready_wait(self):
        self.assertTrue(self.fact("ready_panel"), "no yellow Ready... panel within 3 s of the click")
        self.assertTrue(self.fact("plate_launched"), "no plate within 4 s of the Ready... panel")

    def test_missed_plate_brings_the_miss_notice(self):
        self.assertEqual(self.fact("panel_after_flight"), "yellow",
                         "after the missed plate's flight the yellow Miss!! panel shows before the next Click!")
        after = self.image("after_flight")
        self.assertIsNone(find_plate(after), "the plate is gone when the notice shows")
        self.assertNotEqual(panel_area(after).tobytes(), panel_area(self.image("ready")).tobytes(),
                            "the notice has another caption than Ready...")
        self.assertTrue(self.fact("click_panel_after_miss"), "no Click! panel within 5 s after the notice")

    def test_right_press_opens_the_menu_at_the_press(self):
        menu = self.fact("menu")
        self.assertIsNotNone(menu["geometry"], "no popup menu within 3 s of the right press")
        x, y, w, h = menu["geometry"]
        px, py = menu["press"]
        # At the bottom of the screen the menu opens upwards, its corner at the press.
        self.assertLessEqual(abs(x - px), MENU_OFF, f"menu {menu['geometry']}, press {menu['press']}")
        self.assertLessEqual(abs(y + h - py), MENU_OFF, f"menu {menu['geometry']}, press {menu['press']}")
        self.assertGreaterEqual(y, 0)

    def test_exit_ends_the_program_at_once_with_status_zero(self):
        done = self.fact("exit")
        self.assertTrue(done["ended"], "the program still ran 3 s after choosing Exit")
        self.assertEqual(done["status"], 0)
        print(f"ended {done['seconds']} s after Exit was chosen")

    def test_dropped_game_leaves_the_score_file_as_it_was(self):
        self.assertEqual(self.fact("score_file_after_exit"), self.fact("score_file_before_exit"))

    def test_wine_result_message_shows_and_enter_closes_it(self):
        self.assertTrue(self.fact("result_message"), "no result message after the game's last plate")
        self.assertTrue(self.fact("result_message_closed"), "the result message still showed 5 s after Enter")

    def test_wine_menu_shows_three_lines_and_the_placed_score_first_of_five(self):
        self.assertEqual(len(self.fact("menu_lines")), 3, "lines of lettering in the menu: high scores, about, exit")
        widths = [right - left for left, _, right, _ in self.fact("score_lines")]
        self.assertEqual(len(widths), 5, "lines of lettering among the high scores")
        # The placed game's line (date, time, hits) is far longer than the four empty places',
        # which differ by a digit's width at most.
        self.assertGreater(widths[0], 2 * max(widths[1:]), widths)
        self.assertLessEqual(max(widths[1:]) - min(widths[1:]), 2, widths)

    def test_wine_the_placed_score_is_kept_beside_the_program(self):
        hits = int("hit" in self.facts)
        self.assertRegex(self.fact("score_file_before_exit") or "",
                         rf"(?m)^HISCORE1=\d{{4}}/\d\d/\d\d \d\d:\d\d:\d\d,{hits}\r?$")

    def test_english_result_message_gives_the_score_and_the_place(self):
        shown = "\n".join(self.fact("result_texts"))
        self.assertIn(f"Your score: {int('hit' in self.facts)}", shown)  # the one hit it made, or none
        self.assertIn("You are number 1 in the high scores", shown)

    def test_english_menu_lists_the_score_the_file_keeps_in_its_usual_form(self):
        hits = int("hit" in self.facts)
        self.assertEqual(self.fact("menu_lines"), ["High scores", "About Kestrin", "Exit"])
        stored = re.search(rf"(?m)^HISCORE1=(\d{{4}})/(\d\d)/(\d\d) (\d\d:\d\d:\d\d),{hits}$",
                           self.fact("score_file_before_exit") or "")
        self.assertIsNotNone(stored, f"no HISCORE1=yyyy/mm/dd hh:mm:ss,{hits} in the score file")
        self.assertEqual(self.fact("score_lines"), ["1st: {}-{}-{} {}  Hits: {}".format(*stored.groups(), hits),
                                                    "2nd: (none)", "3rd: (none)", "4th: (none)", "5th: (none)"])
