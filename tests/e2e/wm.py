"""The strip and the version dialog under a window manager (openbox) on a 1280x720 screen:
the strip against an Alt-drag, a move/resize request and a switch of virtual desktop, the
actions it allows, and minimising it; the version dialog (from the popup menu) with its
actions, its place, minimising and closing it.

Parameters: none.
"""

import re
import time

import e2e
from e2e import STRIP_H

SCREEN_W, SCREEN_H = 1280, 720
OTHER_DESKTOP = 2
SETTLE = 0.5  # seconds a window manager gets to act on a request before it is judged


def map_state(session, window):
    """"IsViewable", "IsUnMapped", "IsUnviewable", or "gone" when the window is no more."""
    match = re.search(r"Map State:\s+(\w+)", session.run("xwininfo", "-id", str(window)))
    return match.group(1) if match else "gone"


def cardinal(session, name):
    """A number on the root window, or None when it is not set."""
    values = e2e.xprop_values(session.xprop_root(name))
    return int(values[0]) if values else None


def record(session, params):
    e2e.require("wmctrl")
    session.start_desktop(SCREEN_W, SCREEN_H, "openbox")
    program, strip = session.start_strip()
    home = session.facts["strip"]
    record_strip(session, strip, home)
    record_dialog(session, program, strip, home)
    session.xdotool("windowminimize", strip)
    time.sleep(1.0)
    session.fact("strip_state_after_minimise", map_state(session, strip))


def record_strip(session, strip, home):
    """The strip's allowed actions and size hints, then an Alt-drag, a move/resize request
    and a switch to another virtual desktop."""
    session.fact("strip_actions", e2e.xprop_values(session.xprop(strip, "_NET_WM_ALLOWED_ACTIONS")))
    hints = session.xprop(strip, "WM_NORMAL_HINTS")
    session.fact("strip_min_size", [[int(v) for v in m] for m in re.findall(r"minimum size: (\d+) by (\d+)", hints)])
    session.fact("strip_max_size", [[int(v) for v in m] for m in re.findall(r"maximum size: (\d+) by (\d+)", hints)])

    x, y, _, _ = home
    session.xdotool("mousemove", x + 300, y + 40)
    session.xdotool("keydown", "alt", "mousedown", 1)
    for step in range(1, 6):
        session.xdotool("mousemove", x + 300 + 20 * step, y + 40 - 60 * step)
        time.sleep(0.05)
    session.xdotool("mouseup", 1, "keyup", "alt")
    time.sleep(SETTLE)
    session.fact("strip_after_alt_drag", session.geometry(strip))

    session.run("wmctrl", "-i", "-r", hex(strip), "-e", "0,80,300,900,200")
    time.sleep(SETTLE)
    session.fact("strip_after_moveresize_request", session.geometry(strip))

    session.fact("desktops", cardinal(session, "_NET_NUMBER_OF_DESKTOPS"))
    session.run("wmctrl", "-s", str(OTHER_DESKTOP))
    time.sleep(SETTLE)
    session.fact("current_desktop_after_switch", cardinal(session, "_NET_CURRENT_DESKTOP"))
    session.fact("strip_state_on_other_desktop", map_state(session, strip))
    session.run("wmctrl", "-s", "0")
    time.sleep(0.3)


def record_dialog(session, program, strip, home):
    """The version dialog, the popup menu's second item: its actions, place and frame, then
    minimising and closing it."""
    x, y, _, _ = home
    session.xdotool("mousemove", x + 100, y + 30, "click", 3)
    time.sleep(SETTLE)
    session.xdotool("key", "Down", "Down", "Return")
    found = e2e.wait_until(lambda: [w for w in session.visible_windows(program.pid) if w != strip], 5)
    if not found:
        raise RuntimeError("the version dialog did not appear within 5 s of choosing it in the menu")
    dialog = found[0]
    time.sleep(SETTLE)
    session.fact("dialog_actions", e2e.xprop_values(session.xprop(dialog, "_NET_WM_ALLOWED_ACTIONS")))
    session.fact("dialog", session.geometry(dialog))
    frame = e2e.xprop_values(session.xprop(dialog, "_NET_FRAME_EXTENTS"))
    session.fact("dialog_frame", [int(v) for v in frame] or [0, 0, 0, 0])
    session.xdotool("windowminimize", dialog)
    time.sleep(1.0)
    session.fact("dialog_state_after_minimise", map_state(session, dialog))
    session.run("wmctrl", "-i", "-c", hex(dialog))
    session.fact("dialog_closed",
                 bool(e2e.wait_until(lambda: map_state(session, dialog) != "IsViewable", 3)))


class Checks(e2e.FactsCase):

    def test_strip_stands_on_the_screens_bottom(self):
        self.assertEqual(self.fact("strip"), [0, SCREEN_H - STRIP_H, SCREEN_W, STRIP_H])

    def test_strip_cannot_be_dragged_with_alt(self):
        self.assertEqual(self.fact("strip_after_alt_drag"), self.fact("strip"))

    def test_strip_ignores_move_and_resize_requests(self):
        self.assertEqual(self.fact("strip_after_moveresize_request"), self.fact("strip"))

    def test_strip_offers_no_move_resize_or_maximise(self):
        actions = self.fact("strip_actions")
        self.assertIn("_NET_WM_ACTION_CLOSE", actions, "the window manager manages the strip")
        for action in ("MOVE", "RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"):
            self.assertNotIn("_NET_WM_ACTION_" + action, actions)
        self.assertEqual(self.fact("strip_min_size"), [[SCREEN_W, STRIP_H]])
        self.assertEqual(self.fact("strip_max_size"), self.fact("strip_min_size"))

    def test_strip_shows_on_every_desktop(self):
        self.assertGreaterEqual(self.fact("desktops"), OTHER_DESKTOP + 1)
        self.assertEqual(self.fact("current_desktop_after_switch"), OTHER_DESKTOP)
        self.assertEqual(self.fact("strip_state_on_other_desktop"), "IsViewable")

    def test_strip_comes_back_when_minimised(self):
        self.assertEqual(self.fact("strip_state_after_minimise"), "IsViewable")

    def test_dialog_offers_closing_but_no_resize_or_maximise(self):
        actions = self.fact("dialog_actions")
        self.assertIn("_NET_WM_ACTION_CLOSE", actions)
        for action in ("RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"):
            self.assertNotIn("_NET_WM_ACTION_" + action, actions)

    def test_dialog_comes_back_when_minimised(self):
        self.assertEqual(self.fact("dialog_state_after_minimise"), "IsViewable")

    def test_dialog_closes_on_the_window_managers_request(self):
        self.assertTrue(self.fact("dialog_closed"), "the dialog was still shown 3 s after the close request")

    def test_dialog_is_centred_on_the_screen(self):
        # Centred when shown, before the window manager has added its frame: the frame may
        # shift the centre by half its own thickness, no more.
        x, y, w, h = self.fact("dialog")
        left, right, top, bottom = self.fact("dialog_frame")
        self.assertLessEqual(abs(x + w / 2 - SCREEN_W / 2), (left + right) / 2 + 1, self.fact("dialog"))
        self.assertLessEqual(abs(y + h / 2 - SCREEN_H / 2), (top + bottom) / 2 + 1, self.fact("dialog"))
