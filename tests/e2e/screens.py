"""The strip on a desktop of two monitors whose screens change while it runs: a 1024x1080
monitor on the left and the primary 1280x720 monitor right of it, bottom-aligned (so the
primary starts at y = 360); then a panel with a strut appears along the primary's bottom and
goes again; then the primary monitor grows to 1920x1080 and shrinks back, and the screen
shrinks to fit, as RandR reports changes of resolution. Under openbox, which turns struts
into the work area.

Parameters: none.
"""

import sys
from pathlib import Path

import e2e
from e2e import STRIP_H

PANEL_H = 40
LEFT_MONITOR = (0, 0, 1024, 1080)
PRIMARY = (1024, 360, 1280, 720)
BIG_PRIMARY = (1024, 0, 1920, 1080)
WHITE = (255, 255, 255)


def _monitor_spec(rect):
    x, y, w, h = rect
    # Physical sizes in millimetres do not matter here; xrandr wants some.
    return f"{w}/{w // 4}x{h}/{h // 4}+{x}+{y}"


def _set_monitors(session, primary):
    session.run("xrandr", "--setmonitor", "left", _monitor_spec(LEFT_MONITOR), "none")
    # Bound to the server's only output, the primary monitor replaces the output's own
    # monitor that covers the whole screen; the "*" makes it primary.
    session.run("xrandr", "--delmonitor", "primary")
    session.run("xrandr", "--setmonitor", "*primary", _monitor_spec(primary), "screen")


def record(session, params):
    # Xvfb's screen cannot grow later: start it large enough for the bigger primary monitor.
    # The monitors span its full height, so a panel's strut counts from the same bottom edge
    # for the window manager and for the X server.
    session.start_server(2944, 1080)
    _set_monitors(session, PRIMARY)
    session.fact("monitors", session.run("xrandr", "--listmonitors"))
    session.start_openbox()
    program, window = session.start_strip()
    at_start = session.facts["strip"]

    x, y, w, h = PRIMARY
    dock = session.start_client(sys.executable, str(Path(__file__).with_name("dock_window.py")),
                                str(x), str(y + h - PANEL_H), str(w), str(PANEL_H))
    above_panel = session.settled_geometry(window, at_start)
    session.fact("strip_with_panel", above_panel)
    session.fact("workarea_with_panel", session.xprop_root("_NET_WORKAREA"))

    dock.terminate()
    dock.wait(5)
    session.fact("strip_after_panel", session.settled_geometry(window, above_panel))

    _set_monitors(session, BIG_PRIMARY)
    bigger = session.settled_geometry(window, at_start)
    session.fact("strip_on_bigger_screen", bigger)
    session.save_image("strip_on_bigger_screen", session.painted_picture(window))

    _set_monitors(session, PRIMARY)
    session.run("xrandr", "--fb", "2304x1080")
    session.fact("strip_on_smaller_screen", session.settled_geometry(window, bigger))
    session.save_image("strip_on_smaller_screen", session.painted_picture(window))
    session.fact("still_running", program.poll() is None)


def _on_bottom_of(rect, bottom=None):
    x, y, w, h = rect
    return [x, (bottom if bottom is not None else y + h) - STRIP_H, w, STRIP_H]


class Checks(e2e.FactsCase):

    def assert_title_centred(self, name):
        strip = self.image(name)
        white = e2e.colour_mask(strip, WHITE).getbbox()
        self.assertIsNotNone(white, f"no title on the strip in {name}")
        left, _, right, _ = white
        self.assertLessEqual(abs((left + right) / 2 - strip.width / 2), 8,
                             f"title lettering spans {left}..{right} on a strip {strip.width} wide")

    def test_strip_stands_on_the_primary_monitor_right_of_another(self):
        self.assertEqual(self.fact("strip"), _on_bottom_of(PRIMARY),
                         "strip [x, y, width, height] on the primary monitor at 1024,360")
        self.assert_title_centred("strip")

    def test_strip_rises_above_a_panel_that_appears(self):
        x, y, w, h = PRIMARY
        self.assertEqual(self.fact("strip_with_panel"), _on_bottom_of(PRIMARY, y + h - PANEL_H),
                         "work area: " + self.fact("workarea_with_panel"))

    def test_strip_returns_to_the_bottom_when_the_panel_goes(self):
        self.assertEqual(self.fact("strip_after_panel"), _on_bottom_of(PRIMARY))

    def test_strip_follows_a_larger_primary_screen(self):
        self.assertEqual(self.fact("strip_on_bigger_screen"), _on_bottom_of(BIG_PRIMARY))
        self.assert_title_centred("strip_on_bigger_screen")

    def test_strip_follows_a_smaller_primary_screen(self):
        self.assertEqual(self.fact("strip_on_smaller_screen"), _on_bottom_of(PRIMARY))
        self.assert_title_centred("strip_on_smaller_screen")
        self.assertTrue(self.fact("still_running"))
