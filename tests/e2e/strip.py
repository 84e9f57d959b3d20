"""The idle strip as a person's X server shows it: the real program on a screen of the
given size, with or without a window manager, at a scale; its window's place, decorations
and taskbar state, what it paints, and that it ends on SIGTERM. With resize=WxH the screen
changes to that size once the strip shows, and all of that is judged after the change; then
a game is started, and the screen changes back while a plate flies.

Parameters: size=WxH, wm=none|openbox, scale=N (see e2e.py), resize=WxH.
"""

from PIL import Image

import e2e
import play
from e2e import STRIP_H

SKY_TOP = (72, 115, 255)     # the first row of the background gradient
GROUND = (0, 128, 0)         # its last two rows
WHITE = (255, 255, 255)      # the title's lettering; nothing else on the strip is white
TITLE_PICTURE = e2e.SOURCE_DIR / "resources" / "title.gif"


def record(session, params):
    size = e2e.screen_size(params)
    session.start_desktop(*size, params.get("wm", "none"))
    player = play.Player(session)
    program, window = player.program, player.window
    if "resize" in params:
        resized = e2e.screen_size(params, key="resize")
        session.fact("strip_before_resize", session.facts["strip"])
        session.fact("strip", follow_the_screen(session, player, resized))
        session.fact("screen", dict(zip(("width", "height"), resized)))
        session.save_image("strip", session.painted_picture(window))
    session.fact("windows_at_start", len(session.visible_windows(program.pid)))
    session.fact("outermost", session.geometry(session.toplevel(window)))
    session.fact("motif_hints", session.xprop(window, "_MOTIF_WM_HINTS"))
    session.fact("net_wm_state", session.xprop(window, "_NET_WM_STATE"))
    session.fact("wm_state", session.xprop(window, "WM_STATE"))
    session.fact("frame_extents", session.xprop(window, "_NET_FRAME_EXTENTS"))
    if "resize" in params:
        change_during_a_flight(session, player, size)
    status = session.end_program(program)
    session.fact("ended_on_sigterm", status is not None)
    session.fact("left_on_display", session.programs_on_display(session.kestrin.name))


def follow_the_screen(session, player, size):
    """Changes the screen to that size; returns the strip's place once it has moved there,
    where the player then looks for it."""
    session.change_resolution(*size)
    place = session.settled_geometry(player.window, [player.x, player.y, player.w, player.h])
    player.x, player.y, player.w, player.h = place
    return place


def change_during_a_flight(session, player, size):
    """Throws a plate, changes the screen while it flies, and records the strip's new place
    and whether the plate still flies in it."""
    player.start_game()
    player.click_centre()
    if player.wait_plate(4) is None:
        raise RuntimeError("no plate flew within 4 s of the Click! panel")
    session.fact("strip_in_flight", follow_the_screen(session, player, size))
    flying = player.wait_plate(1)
    session.fact("plate_after_resize", flying is not None)
    if flying is not None:
        session.save_image("plate_after_resize", flying)


class Checks(e2e.FactsCase):

    def setUp(self):
        self.scale = self.fact("scale")
        self.width = self.fact("screen")["width"] // self.scale  # logical pixels
        self.height = self.fact("screen")["height"] // self.scale

    def title_box(self):
        """Where the program puts the title picture, in strip pixels: (left, top, w, h)."""
        title = Image.open(TITLE_PICTURE)
        w, h = title.size
        # Centred in twips (15 a pixel) with truncating halves, then rounded to pixels.
        left_tw = (self.width * 15 - w * 15) // 2
        top_tw = (STRIP_H * 15 - h * 15) // 2
        return (left_tw * 2 + 15) // 30, (top_tw * 2 + 15) // 30, w, h

    def test_shows_one_window(self):
        self.assertEqual(self.fact("windows_at_start"), 1, "only the strip is visible at start-up")

    def logical_strip(self):
        """The strip's picture in logical pixels; fails unless each of them shows as a square
        of device pixels of one colour (scaled crisply, by nearest neighbour)."""
        strip = self.image("strip")
        logical = strip.resize((strip.width // self.scale, strip.height // self.scale), Image.Resampling.NEAREST)
        self.assertEqual(logical.resize(strip.size, Image.Resampling.NEAREST).tobytes(), strip.tobytes(),
                         f"the strip is not scaled by nearest neighbour at {self.scale}x")
        return logical

    def test_strip_lies_along_the_screen_bottom(self):
        s = self.scale
        self.assertEqual(self.fact("strip"), [0, (self.height - STRIP_H) * s, self.width * s, STRIP_H * s],
                         f"strip [x, y, width, height] in device pixels at {s}x")

    def test_resized_plate_in_flight_stays_in_the_strip(self):
        self.assertEqual(self.fact("strip_in_flight"), self.fact("strip_before_resize"),
                         "strip [x, y, width, height] back on the first screen")
        self.assertTrue(self.fact("plate_after_resize"), "no plate in the strip within 1 s of the change")

    def test_asks_for_no_decorations(self):
        hints = self.fact("motif_hints")
        # Fields: flags, functions, decorations, ...; flag bit 2 says the decorations count.
        values = hints.partition("=")[2].replace(",", " ").split()
        self.assertGreaterEqual(len(values), 3, hints)
        self.assertTrue(int(values[0], 16) & 2 and int(values[2], 16) == 0, hints)

    def test_has_no_frame(self):
        self.assertEqual(self.fact("outermost"), self.fact("strip"),
                         "the outermost window around the strip is the strip itself")

    def test_skips_the_taskbar(self):
        self.assertIn("_NET_WM_STATE_SKIP_TASKBAR", self.fact("net_wm_state"))

    def test_wm_manages_the_strip_without_a_frame(self):
        if self.fact("wm") == "none":
            self.skipTest("no window manager in this run")
        self.assertIn("window state: Normal", self.fact("wm_state"))
        self.assertTrue(self.fact("frame_extents").endswith("= 0, 0, 0, 0"), self.fact("frame_extents"))

    def test_background_is_sky_above_and_ground_below(self):
        strip = self.logical_strip()
        self.assertEqual(strip.size, (self.width, STRIP_H))
        left, top, w, h = self.title_box()
        # The title's box is left out in case it reaches the top row.
        top_row = [x for x in range(self.width) if not (top == 0 and left <= x < left + w)]
        off_sky = [x for x in top_row if not e2e.near(strip.getpixel((x, 0)), SKY_TOP)]
        self.assertFalse(off_sky, f"top row not about {SKY_TOP}, first at x={off_sky[:1]}: "
                                  f"{strip.getpixel((off_sky[0], 0)) if off_sky else ''}")
        for y in (STRIP_H - 2, STRIP_H - 1):
            off_ground = [x for x in range(self.width) if not e2e.near(strip.getpixel((x, y)), GROUND)]
            self.assertFalse(off_ground, f"row {y} not about {GROUND}, first at x={off_ground[:1]}")

    def test_title_is_centred_and_nothing_else_is_white(self):
        strip = self.logical_strip()
        left, top, w, h = self.title_box()
        title = Image.open(TITLE_PICTURE).convert("RGB")
        lettering = {(left + x, top + y) for x in range(w) for y in range(h) if title.getpixel((x, y)) == WHITE}
        mask = e2e.colour_mask(strip, WHITE)
        white = {(x, y) for x in range(self.width) for y in range(STRIP_H) if mask.getpixel((x, y))}
        self.assertGreaterEqual(len(lettering), 100, "the title picture has white lettering")
        outside = sorted(p for p in white if not (left <= p[0] < left + w and top <= p[1] < top + h))
        self.assertFalse(outside, f"white pixels outside the title box {w}x{h}+{left}+{top}: {outside[:3]}")
        self.assertEqual(sorted(white - lettering)[:3], [], f"white pixels the title at ({left},{top}) does not have")
        self.assertEqual(sorted(lettering - white)[:3], [], f"title pixels not white on the screen at ({left},{top})")

    def test_sigterm_ends_the_program(self):
        self.assertTrue(self.fact("ended_on_sigterm"), "kestrin still ran 5 s after SIGTERM")
        self.assertEqual(self.fact("left_on_display"), [], "kestrin processes left on the display")
