#!/usr/bin/python3
"""The program as a citizen of an X desktop, end to end under Xvfb.

Each scenario is recorded once under its own Xvfb: the real program is started, driven
with xdotool and watched with xwininfo/xprop and screenshots, and what was seen is saved
as window facts (facts.json) and pictures in a folder. Named checks then read that folder,
one per ctest test.

Scenarios:
  wm         under openbox: the strip against Alt-drag, move/resize requests, a switch of
             virtual desktop and minimising; its allowed actions; the version dialog's
             actions, place and return after minimising.
  burst-1x   no window manager, a full-screen window under the strip: a real hit at 1x,
             the particles' first places, and that window raised during the burst.
  burst-2x   the same at QT_SCALE_FACTOR=2 on a screen twice as large.

Usage:
  x11_e2e.py record SCENARIO FOLDER KESTRIN   exit 0 recorded, 77 no Xvfb here
  x11_e2e.py check FOLDER CHECK               exit 0 passed, 1 failed, 77 not recorded
"""

import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

try:
    from PIL import ImageChops, ImageGrab
except ImportError:
    ImageGrab = None

SKIP = 77
STRIP_H = 64      # logical pixels
EDGE = 100        # logical columns at each end of the strip holding labels and icons
PLATES_TO_TRY = 4

SCENARIOS = {
    "wm": {"screen": (1280, 720), "scale": 1, "wm": True, "cover": False},
    "burst-1x": {"screen": (1280, 720), "scale": 1, "wm": False, "cover": True},
    "burst-2x": {"screen": (2560, 1440), "scale": 2, "wm": False, "cover": True},
}


# --- running things -----------------------------------------------------------------------

def run(*args, timeout=10):
    """Output of a command, or "" when it fails."""
    try:
        return subprocess.run(args, capture_output=True, text=True, timeout=timeout).stdout
    except (subprocess.SubprocessError, OSError):
        return ""


def start_xvfb(width, height):
    """Starts Xvfb on a free display; returns (process, ":N") or (None, reason)."""
    if not shutil.which("Xvfb"):
        return None, "Xvfb is not installed"
    read_end, write_end = os.pipe()
    server = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
         "-noreset", "-nolisten", "tcp"],
        pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        number = pipe.readline().strip()
    if not number:
        server.kill()
        return None, "Xvfb did not start: " + server.communicate()[1].decode(errors="replace")[-300:]
    return server, ":" + number.decode()


def wait_for(predicate, seconds, step=0.05):
    """Polls until predicate() is truthy; returns its last value."""
    deadline = time.monotonic() + seconds
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(step)


def visible_windows(pid):
    return [int(w) for w in run("xdotool", "search", "--onlyvisible", "--pid", str(pid)).split()]


def geometry(window):
    """(x, y, width, height) of a window's inside, in device pixels."""
    info = run("xwininfo", "-id", str(window))
    values = {}
    for key, pattern in (("x", r"Absolute upper-left X:\s+(-?\d+)"), ("y", r"Absolute upper-left Y:\s+(-?\d+)"),
                         ("w", r"\n\s+Width:\s+(\d+)"), ("h", r"\n\s+Height:\s+(\d+)")):
        match = re.search(pattern, info)
        values[key] = int(match.group(1)) if match else None
    return values["x"], values["y"], values["w"], values["h"]


def map_state(window):
    match = re.search(r"Map State:\s+(\w+)", run("xwininfo", "-id", str(window)))
    return match.group(1) if match else "gone"


def atoms(window, prop):
    """Names in an atom-list property of a window."""
    text = run("xprop", "-id", str(window), prop)
    return [] if "=" not in text else [a.strip() for a in text.split("=", 1)[1].split(",")]


def root_children():
    """Top-level windows, topmost first: [(id, x, y, w, h)]."""
    out = []
    for line in run("xwininfo", "-root", "-children").splitlines():
        match = re.match(r"\s+(0x[0-9a-f]+) .*\s(\d+)x(\d+)\+(-?\d+)\+(-?\d+)\s+\+-?\d+\+-?\d+$", line)
        if match:
            w, h, x, y = (int(v) for v in match.group(2, 3, 4, 5))
            out.append((int(match.group(1), 16), x, y, w, h))
    return out


def xdotool(*args):
    run("xdotool", *[str(a) for a in args])


# --- the plate and the particles ----------------------------------------------------------

def grab(box):
    x, y, w, h = box
    return ImageGrab.grab(bbox=(x, y, x + w, y + h), xdisplay=os.environ["DISPLAY"]).convert("RGB")


def find_plate(shot, scale):
    """Top-left (device pixels, in the shot) of the plate's 14x8 box, or None.

    The plate's white is two rows, 6 and 10 logical pixels wide, from (+4,+2) and (+2,+3) of
    its box; the strip's ends (white labels) are left out."""
    edge = EDGE * scale
    middle = shot.crop((edge, 0, shot.width - edge, shot.height))
    red, green, blue = (band.point(lambda v: 255 if v == 255 else 0) for band in middle.split())
    white = ImageChops.multiply(ImageChops.multiply(red, green), blue)
    box = white.getbbox()
    if not box:
        return None
    left, top, right, bottom = box
    if (right - left, bottom - top) != (10 * scale, 2 * scale):
        return None
    return left + edge - 2 * scale, top - 2 * scale


def particles(pid, strip, size):
    """Shown particle windows: {id: (x, y)} in device pixels, and the stacking order."""
    shown = set(visible_windows(pid)) - {strip}
    order = root_children()
    found = {w: (x, y) for (w, x, y, ww, hh) in order if w in shown and (ww, hh) == (size, size)}
    return found, [w for (w, *_rest) in order]


# --- recording ----------------------------------------------------------------------------

class Recorder:
    def __init__(self, scenario, folder, kestrin):
        self.name = scenario
        self.setup = SCENARIOS[scenario]
        self.folder = folder
        self.kestrin = kestrin
        self.facts = {"scenario": scenario, "notes": []}
        self.processes = []
        self.work = None   # the program's folder, where its score file would land
        self.cover = None  # the window raised over the particles

    def note(self, text):
        self.facts["notes"].append(text)

    def spawn(self, args, env=None, **kwargs):
        process = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)
        self.processes.append(process)
        return process

    def record(self):
        width, height = self.setup["screen"]
        server, display = start_xvfb(width, height)
        if not server:
            self.facts["skipped"] = display
            return SKIP
        self.processes.append(server)
        os.environ["DISPLAY"] = display
        try:
            self.facts["screen"] = [width, height]
            self.facts["scale"] = self.setup["scale"]
            if self.setup["wm"]:
                self.spawn(["openbox", "--sm-disable"])
                if not wait_for(lambda: "window id" in run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"), 5):
                    self.note("openbox did not start")
            if self.setup["cover"]:
                self.spawn(["xev", "-geometry", f"{width}x{height}+0+0", "-name", "cover"])
                self.cover = wait_for(lambda: [w for (w, x, y, ww, hh) in root_children()
                                               if (ww, hh) == (width, height)], 5)
                self.cover = self.cover[0] if self.cover else None
            if not self.start_program():
                return 0
            if self.name == "wm":
                self.record_window_manager()
            else:
                self.record_burst()
        finally:
            for process in reversed(self.processes):
                process.kill()
                process.wait()
            if self.work:
                shutil.rmtree(self.work, ignore_errors=True)
            with open(os.path.join(self.folder, "facts.json"), "w") as out:
                json.dump(self.facts, out, indent=1)
        return 0

    def start_program(self):
        self.work = tempfile.mkdtemp()
        shutil.copy(self.kestrin, self.work)
        env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "QT_SCALE_FACTOR"):
            env.pop(name, None)
        if self.setup["scale"] != 1:
            env["QT_SCALE_FACTOR"] = str(self.setup["scale"])
        self.program = self.spawn([os.path.join(self.work, "kestrin")], env=env, cwd=self.work)
        self.pid = self.program.pid
        found = wait_for(lambda: visible_windows(self.pid), 10)
        if not found:
            self.facts["started"] = False
            self.note("no visible window within 10 s; exit status %s" % self.program.poll())
            return False
        self.facts["started"] = True
        self.strip = found[0]
        width, height = self.setup["screen"]
        bottom = lambda: geometry(self.strip)[1] == height - STRIP_H * self.setup["scale"]
        wait_for(bottom, 5)
        time.sleep(0.3)  # the first paint
        self.facts["strip"] = list(geometry(self.strip))
        return True

    # The window manager: moves, desktops, allowed actions and the version dialog.
    def record_window_manager(self):
        s = self.strip
        self.facts["strip_actions"] = atoms(s, "_NET_WM_ALLOWED_ACTIONS")
        hints = run("xprop", "-id", str(s), "WM_NORMAL_HINTS")
        self.facts["strip_min_size"] = re.findall(r"minimum size: (\d+) by (\d+)", hints)
        self.facts["strip_max_size"] = re.findall(r"maximum size: (\d+) by (\d+)", hints)

        x, y, w, h = self.facts["strip"]
        xdotool("mousemove", x + 300, y + 40)
        xdotool("keydown", "alt", "mousedown", "1")
        for step in range(1, 6):
            xdotool("mousemove", x + 300 + 20 * step, y + 40 - 60 * step)
            time.sleep(0.05)
        xdotool("mouseup", "1", "keyup", "alt")
        time.sleep(0.5)
        self.facts["strip_after_alt_drag"] = list(geometry(s))

        run("wmctrl", "-i", "-r", hex(s), "-e", "0,80,300,900,200")
        time.sleep(0.5)
        self.facts["strip_after_moveresize_request"] = list(geometry(s))

        desktops = run("xprop", "-root", "_NET_NUMBER_OF_DESKTOPS")
        self.facts["desktops"] = int(desktops.split("=")[1]) if "=" in desktops else 0
        run("wmctrl", "-s", "2")
        time.sleep(0.5)
        current = run("xprop", "-root", "_NET_CURRENT_DESKTOP")
        self.facts["current_desktop_after_switch"] = int(current.split("=")[1]) if "=" in current else -1
        self.facts["strip_state_on_other_desktop"] = map_state(s)
        run("wmctrl", "-s", "0")
        time.sleep(0.3)

        # The version dialog, from the popup menu.
        xdotool("mousemove", x + 100, y + 30, "click", "3")
        time.sleep(0.5)
        xdotool("key", "Down", "Down", "Return")
        dialog = wait_for(lambda: [d for d in visible_windows(self.pid) if d != s], 5)
        if not dialog:
            self.note("the version dialog did not appear")
            return
        dialog = dialog[0]
        time.sleep(0.5)
        self.facts["dialog_actions"] = atoms(dialog, "_NET_WM_ALLOWED_ACTIONS")
        self.facts["dialog"] = list(geometry(dialog))
        extents = run("xprop", "-id", str(dialog), "_NET_FRAME_EXTENTS")
        self.facts["dialog_frame"] = [int(v) for v in re.findall(r"\d+", extents.split("=", 1)[1])] \
            if "=" in extents else [0, 0, 0, 0]
        xdotool("windowminimize", dialog)
        time.sleep(1.0)
        self.facts["dialog_state_after_minimise"] = map_state(dialog)
        run("wmctrl", "-i", "-c", hex(dialog))
        self.facts["dialog_closed"] = bool(wait_for(lambda: map_state(dialog) != "IsViewable", 3))

        xdotool("windowminimize", s)
        time.sleep(1.0)
        self.facts["strip_state_after_minimise"] = map_state(s)

    # A real hit: the plate's place, the particles' first places, and a window raised meanwhile.
    def record_burst(self):
        scale = self.setup["scale"]
        x, y, w, h = self.facts["strip"]
        box = (x, y, w, h)
        xdotool("mousemove", x + w // 2, y + h // 2, "click", "1")  # the title: a new game
        time.sleep(0.5)
        for plate in range(PLATES_TO_TRY):
            xdotool("mousemove", x + w // 2, y + h // 2, "click", "1")  # the panel: throw
            aimed = self.shoot(box, scale)
            if aimed is None:
                self.note(f"plate {plate + 1}: not seen flying")
            else:
                seen = self.watch_particles(aimed, scale)
                if seen:
                    return
                self.note(f"plate {plate + 1}: shot at {aimed}, no particles")
            # The plate falls out, then the miss notice and the pause before the next panel.
            time.sleep(6.0)
        self.facts["hit"] = False

    def shoot(self, box, scale):
        """Waits for the plate, presses it right after a frame moved it; returns the absolute
        top-left of its box when pressed, or None."""
        deadline = time.monotonic() + 4.0
        previous = None
        while time.monotonic() < deadline:
            shot = grab(box)
            place = find_plate(shot, scale)
            if place is None:
                previous = None
                continue
            # Shot only when 20 pixels above the screen's bottom: particles launched lower may
            # fall off the screen before they are seen.
            high_enough = place[1] <= (STRIP_H - 20) * scale
            if previous is not None and place != previous and high_enough:
                # A frame has just been drawn: the plate stands still for the next 60 ms and
                # a press now is hit-tested there.
                px, py = box[0] + place[0], box[1] + place[1]
                xdotool("mousemove", px + (13 * scale) // 2, py + (7 * scale) // 2, "click", "1")
                shot.save(os.path.join(self.folder, "plate.png"))
                return px, py
            previous = place
        return None

    def watch_particles(self, aimed, scale):
        size = 2 * scale
        first = wait_for(lambda: particles(self.pid, self.strip, size)[0], 1.0, step=0.005)
        if not first:
            return False
        # A frame shows its particles one after the other: the most seen in the next three
        # frames is the whole burst.
        seen_at = time.monotonic()
        while time.monotonic() - seen_at < 0.12:
            found = particles(self.pid, self.strip, size)[0]
            if len(found) > len(first):
                first = found
        self.facts["hit"] = True
        self.facts["plate_box"] = list(aimed)
        self.facts["first_particles"] = list(first.values())
        grab((aimed[0] - 60 * scale, aimed[1] - 60 * scale, 120 * scale, 120 * scale)).save(
            os.path.join(self.folder, "first-particles.png"))
        if self.cover:
            xdotool("windowraise", self.cover)
            raised = time.monotonic()
            samples = []
            while time.monotonic() - raised < 1.0:
                found, order = particles(self.pid, self.strip, size)
                if found and self.cover in order:
                    cover_at = order.index(self.cover)
                    below = sum(1 for w in found if order.index(w) > cover_at)
                    samples.append([round(time.monotonic() - raised, 3), len(found), below])
                time.sleep(0.02)
            self.facts["after_raise"] = samples
        return True


# --- checks -------------------------------------------------------------------------------

FACTS = {}  # what the recording saw, loaded by main()


def facts():
    return FACTS


class WindowManager(unittest.TestCase):
    def setUp(self):
        self.f = facts()
        self.assertTrue(self.f.get("started"), self.f.get("notes"))
        self.home = self.f["strip"]

    def test_strip_stands_on_the_screens_bottom(self):
        width, height = self.f["screen"]
        self.assertEqual(self.home, [0, height - STRIP_H, width, STRIP_H])

    def test_strip_cannot_be_dragged_with_alt(self):
        self.assertEqual(self.f["strip_after_alt_drag"], self.home)

    def test_strip_ignores_move_and_resize_requests(self):
        self.assertEqual(self.f["strip_after_moveresize_request"], self.home)

    def test_strip_offers_no_move_resize_or_maximise(self):
        actions = self.f["strip_actions"]
        self.assertIn("_NET_WM_ACTION_CLOSE", actions, "the window manager manages the strip")
        for action in ("MOVE", "RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"):
            self.assertNotIn("_NET_WM_ACTION_" + action, actions)
        self.assertEqual(self.f["strip_min_size"], [[str(self.f["screen"][0]), str(STRIP_H)]])
        self.assertEqual(self.f["strip_max_size"], self.f["strip_min_size"])

    def test_strip_shows_on_every_desktop(self):
        self.assertGreaterEqual(self.f["desktops"], 3)
        self.assertEqual(self.f["current_desktop_after_switch"], 2)
        self.assertEqual(self.f["strip_state_on_other_desktop"], "IsViewable")

    def test_strip_comes_back_when_minimised(self):
        self.assertTrue(self.f.get("dialog_closed"), self.f["notes"])
        self.assertEqual(self.f["strip_state_after_minimise"], "IsViewable")

    def test_dialog_offers_closing_but_no_resize_or_maximise(self):
        actions = self.f.get("dialog_actions")
        self.assertIsNotNone(actions, self.f["notes"])
        self.assertIn("_NET_WM_ACTION_CLOSE", actions)
        for action in ("RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"):
            self.assertNotIn("_NET_WM_ACTION_" + action, actions)

    def test_dialog_comes_back_when_minimised(self):
        self.assertEqual(self.f.get("dialog_state_after_minimise"), "IsViewable", self.f["notes"])

    def test_dialog_is_centred_on_the_screen(self):
        # Centred when shown, before the window manager has added its frame: the frame may
        # shift the centre by half its own thickness, no more.
        self.assertIn("dialog", self.f, self.f["notes"])
        x, y, w, h = self.f["dialog"]
        left, right, top, bottom = self.f["dialog_frame"]
        width, height = self.f["screen"]
        self.assertLessEqual(abs(x + w / 2 - width / 2), (left + right) / 2 + 1, self.f["dialog"])
        self.assertLessEqual(abs(y + h / 2 - height / 2), (top + bottom) / 2 + 1, self.f["dialog"])


class Burst(unittest.TestCase):
    def setUp(self):
        self.f = facts()
        self.assertTrue(self.f.get("started"), self.f.get("notes"))
        self.assertTrue(self.f.get("hit"), "no plate was hit: %s" % self.f.get("notes"))

    def test_nineteen_particles_start_at_the_plate(self):
        scale = self.f["scale"]
        px, py = self.f["plate_box"]
        first = self.f["first_particles"]
        self.assertEqual(len(first), 19)
        # A particle moves at most 6 logical pixels a frame: seen within the first seven
        # frames, every one is within 40 pixels of the plate. A burst from a wrong place
        # (logical pixels taken for device pixels) is hundreds of pixels off.
        farthest = max(max(abs(x - px), abs(y - py)) for x, y in first) / scale
        self.assertLessEqual(farthest, 40, first)

    def test_particles_stay_above_a_window_raised_during_the_burst(self):
        samples = self.f.get("after_raise", [])
        # Two frames after the raise every shown particle is above the raised window again.
        settled = [s for s in samples if s[0] >= 0.1]
        self.assertGreaterEqual(len(settled), 5, samples)
        self.assertEqual([s for s in settled if s[2] > 0], [], "particles below the raised window")


def main(argv):
    if len(argv) == 5 and argv[1] == "record":
        scenario, folder, kestrin = argv[2], argv[3], argv[4]
        if scenario not in SCENARIOS:
            print("unknown scenario " + scenario)
            return 2
        if not os.access(kestrin, os.X_OK):
            print(f"FAIL: {kestrin} is not an executable")
            return 1
        if ImageGrab is None:
            print("FAIL: Pillow is needed and not installed (see tools/install-deps.sh)")
            return 1
        for tool in ("xdotool", "xwininfo", "xprop", "wmctrl", "xev", "openbox"):
            if not shutil.which(tool):
                print(f"FAIL: {tool} is needed and not installed (see tools/install-deps.sh)")
                return 1
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        status = Recorder(scenario, folder, kestrin).record()
        if status == SKIP:
            print("SKIP: the X server cannot run here")
        return status
    if len(argv) == 4 and argv[1] == "check":
        folder, check = argv[2], argv[3]
        try:
            with open(os.path.join(folder, "facts.json")) as source:
                FACTS.update(json.load(source))
        except OSError:
            print("SKIP: the scenario was not recorded")
            return SKIP
        if "skipped" in FACTS:
            print("SKIP: " + FACTS["skipped"])
            return SKIP
        suite = unittest.defaultTestLoader.loadTestsFromName(check, sys.modules[__name__])
        result = unittest.TextTestRunner(verbosity=2).run(suite)
        return 0 if result.wasSuccessful() else 1
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
