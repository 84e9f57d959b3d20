"""The idle strip as a person's X server shows it: the real program on a screen of the
given size, with or without a window manager; its window's place, decorations and taskbar
state, what it paints, and that it ends on SIGTERM.

Parameters: size=WxH, wm=none|openbox.
"""

from PIL import Image

import e2e
from e2e import STRIP_H

SKY_TOP = (72, 115, 255)     # the first row of the background gradient
GROUND = (0, 128, 0)         # its last two rows
WHITE = (255, 255, 255)      # the title's lettering; nothing else on the strip is white
TITLE_PICTURE = e2e.SOURCE_DIR / "resources" / "title.gif"


def record(session, params):
    session.start_desktop(*e2e.screen_size(params), params.get("wm", "none"))
    program, window = session.start_strip()
    session.fact("windows_at_start", len(session.visible_windows(program.pid)))
    session.fact("outermost", session.geometry(session.toplevel(window)))
    session.fact("motif_hints", session.xprop(window, "_MOTIF_WM_HINTS"))
    session.fact("net_wm_state", session.xprop(window, "_NET_WM_STATE"))
    session.fact("wm_state", session.xprop(window, "WM_STATE"))
    session.fact("frame_extents", session.xprop(window, "_NET_FRAME_EXTENTS"))
    status = session.end_program(program)
    session.fact("ended_on_sigterm", status is not None)
    session.fact("left_on_display", session.programs_on_display(session.kestrin.name))


class Checks(e2e.FactsCase):

    def setUp(self):
        self.width = self.fact("screen")["width"]
        self.height = self.fact("screen")["height"]

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

    def test_strip_lies_along_the_screen_bottom(self):
        self.assertEqual(self.fact("strip"), [0, self.height - STRIP_H, self.width, STRIP_H],
                         "strip [x, y, width, height]")

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
        strip = self.image("strip")
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
        strip = self.image("strip")
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
