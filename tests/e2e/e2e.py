"""Shared by the end-to-end scenarios: private X servers, the program under test, window
queries, screenshots, and the facts file that a recording writes and the checks read.

A scenario is a module in this folder with a function `record(session, params)` that plays
on a fresh server and stores what it saw with `session.fact()` and `session.save_image()`,
and a `Checks` class (a `FactsCase`) whose test methods judge those facts. CTest runs

    e2e.py record SCENARIO OUTDIR KESTRIN [key=value ...]   (once, a fixture)
    e2e.py check SCENARIO OUTDIR TEST_NAME                  (once per check)

Exit status 77 means skipped: the recording could not start an X server here, so no check
can be judged. Programs named in KESTRIN_E2E_HIDE (separated by spaces) count as not
installed, so that a run can show what a machine without them does.

Every scenario takes runner=wine, for KESTRIN the Windows program (kestrin.exe), which then
runs under Wine in a prefix that the tree's Wine recordings share, in a Japanese locale;
folder=NAME, the name of the folder the program is copied into; and scale=N, the display's
scale (QT_SCALE_FACTOR for Qt, the prefix's LogPixels 96 * N for Wine).
"""

import importlib
import importlib.util
import json
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import time
import traceback
import unittest
from pathlib import Path

SKIPPED = 77
FACTS_FILE = "facts.json"
SOURCE_DIR = Path(__file__).resolve().parents[2]
WINE = SOURCE_DIR / "tests" / "wine" / "wine.sh"
WINE_LOADER = "/usr/lib/wine/wine64"
WINE_DPI = 96  # LogPixels at a scale of 1
STRIP_H = 64  # the strip's height in logical pixels
BLACK = (0, 0, 0)  # an unpainted window


class Skip(Exception):
    """The scenario cannot run on this machine (no X server could be started)."""


class Session:
    """One recording: an X server of its own, processes started on it, and the facts."""

    SERVER_TOOLS = ("Xvfb",)  # without them the recording is skipped
    TOOLS = ("xdotool", "xwininfo", "xprop")  # tools/install-deps.sh installs them
    SETTLE = 0.5  # seconds a window holds still before its place counts

    def __init__(self, outdir, kestrin):
        self.outdir = Path(outdir)
        self.kestrin = Path(kestrin).resolve()
        self.program_folder = self.outdir / "program"
        self.wine_prefix = None  # the Wine prefix the program runs in, when it is a Windows one
        self.scale = 1  # device pixels per logical pixel that the program is told to use
        self.facts = {}
        self.display = None
        self._processes = []  # started here, ended by close(), last first

    def check_tools(self):
        """Raises Skip when the server cannot run here, RuntimeError when another program the
        recording needs is missing."""
        require(*self.SERVER_TOOLS, skip=True)
        if self.wine_prefix and not which(WINE_LOADER):
            raise Skip(f"Wine is not installed: no {WINE_LOADER} (tools/install-deps.sh windows)")
        require(*self.TOOLS)
        if importlib.util.find_spec("PIL") is None:
            raise RuntimeError("Pillow is needed (Debian: python3-pil, see tools/install-deps.sh)")

    def start_server(self, width, height, tries=3):
        """Starts Xvfb on a free display it picks itself; raises Skip when it cannot."""
        complaint = ""
        for _ in range(tries):
            read_end, write_end = os.pipe()
            # -noreset: by default the server resets when its last client leaves, and a
            # client that connects during the reset is refused.
            server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-noreset", "-nolisten", "tcp"],
                pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            os.close(write_end)
            with os.fdopen(read_end) as pipe:
                # Xvfb writes the number once it listens; the pipe closes when it fails.
                number = pipe.readline().strip() if select.select([pipe], [], [], 10)[0] else ""
            if number:
                self.display = ":" + number
                self._processes.append(server)
                self.fact("screen", {"width": width, "height": height})
                return self.display
            server.kill()
            complaint = server.communicate()[1].decode(errors="replace").strip()
            time.sleep(0.5)
        raise Skip("Xvfb could not start a server: " + (complaint.splitlines() or ["no reason given"])[-1])

    def start_openbox(self):
        """Starts openbox and waits until it has announced itself on the root window."""
        require("openbox")
        with open(self.outdir / "openbox.log", "wb") as log:
            self._processes.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env(),
                                                    stdout=log, stderr=subprocess.STDOUT))
        ok = wait_until(lambda: "window id" in self.xprop_root("_NET_SUPPORTING_WM_CHECK"), 5)
        self.fact("openbox_running", ok)
        if not ok:
            raise RuntimeError("openbox did not start: " + (self.outdir / "openbox.log").read_text()[-300:])

    def start_desktop(self, width, height, wm="none"):
        """A server of that size, with openbox on it when wm is "openbox"."""
        self.fact("wm", wm)
        self.start_server(width, height)
        if wm == "openbox":
            self.start_openbox()

    def start_strip(self, env=None):
        """Starts a copy of the program in a folder of its own (files it writes beside itself
        land there; its output goes to kestrin.log), with the variables in `env` added to its
        environment, and waits until its strip has settled and painted itself. Records the
        strip's place as the fact "strip" and its picture as "strip". Returns the process and
        the strip's window."""
        self.program_folder.mkdir()
        program = self.program_folder / self.kestrin.name
        shutil.copy2(self.kestrin, program)
        if self.wine_prefix:
            # The prefix is shared: every Wine recording sets the scale it plays at.
            self.run_windows("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t", "REG_DWORD",
                             "/d", str(WINE_DPI * self.scale), "/f")
        command = [str(WINE), "play", str(self.wine_prefix), str(program)] if self.wine_prefix else [str(program)]
        with open(self.outdir / "kestrin.log", "wb") as log:
            process = subprocess.Popen(command, cwd=self.program_folder, stdout=log, stderr=subprocess.STDOUT,
                                       env={**self.program_env(), **(env or {})})
        self._processes.append(process)
        # Wine's first run here makes its prefix, which takes a quarter of a minute.
        window = self.wait_window(process, 60 if self.wine_prefix else 10)
        self.fact("strip", self.settled_geometry(window))
        self.save_image("strip", self.painted_picture(window))
        return process, window

    def program_env(self):
        """This server's environment, without a platform choice, a scale or a language list of
        the caller's; with the session's scale for Qt; under Wine in Japanese, which also gives
        its fonts the glyphs."""
        env = self.env()
        for name in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "LANGUAGE"):
            env.pop(name, None)
        if self.wine_prefix:
            env.update(LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8")
        elif self.scale != 1:
            env["QT_SCALE_FACTOR"] = str(self.scale)
        return env

    def run_windows(self, *command):
        """Runs a Windows program (or one of Wine's own) in the session's prefix until it ends;
        raises Skip when Wine cannot start, RuntimeError when the program fails."""
        done = subprocess.run([str(WINE), "play", str(self.wine_prefix), *command], env=self.program_env(),
                              stdin=subprocess.DEVNULL, capture_output=True, text=True, errors="replace")
        said = (done.stderr or done.stdout).strip()
        if done.returncode == SKIPPED:
            raise Skip(said)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} under Wine: status {done.returncode}: {said}")

    def change_resolution(self, width, height):
        """Switches the screen to a size within the one it started with, as a player's display
        settings do: for the Windows program through ChangeDisplaySettingsW (Wine tells its
        programs nothing of a change made from outside), else with RandR."""
        mode = f"{width}x{height}"
        # Xvfb has only its starting mode; Wine offers the modes the server lists.
        self.run("xrandr", "--newmode", mode, "0", str(width), "0", "0", "0", str(height), "0", "0", "0")
        self.run("xrandr", "--addmode", "screen", mode)
        if self.wine_prefix:
            helper = self.kestrin.parent / "tests" / "wine" / "set_resolution.exe"
            if not helper.is_file():
                raise RuntimeError(f"no {helper}: make windows builds it")
            self.run_windows(str(helper), str(width), str(height))
        elif subprocess.run(["xrandr", "--output", "screen", "--mode", mode], env=self.env()).returncode:
            raise RuntimeError(f"xrandr cannot switch the screen to {mode}")

    def wait_window(self, process, timeout=10):
        """The first visible window of the process; raises with the reason when none shows."""
        wait_until(lambda: self.visible_windows(process.pid) or process.poll() is not None, timeout)
        found = self.visible_windows(process.pid)
        if found:
            return found[0]
        said = (self.outdir / "kestrin.log").read_text(errors="replace")[:600]
        state = "still runs" if process.poll() is None else f"exited with status {process.returncode}"
        windows = self.run("xdotool", "search", "--pid", str(process.pid)).split()
        raise RuntimeError(f"no visible kestrin window within {timeout} s; kestrin {state}, "
                           f"with {len(windows)} window(s) mapped or not; it said: {said}")

    def end_program(self, process, timeout=5):
        """Sends SIGTERM; returns the exit status, or None if it still ran after the timeout."""
        process.send_signal(signal.SIGTERM)
        try:
            return process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            return None

    def start_client(self, *command, stdout=subprocess.DEVNULL, **options):
        """Starts another X client on this server (its output is dropped unless asked for); close() ends it."""
        process = subprocess.Popen(command, env=self.env(), stdout=stdout, stderr=subprocess.DEVNULL, **options)
        self._processes.append(process)
        return process

    def programs_on_display(self, name):
        """Pids of processes called `name` whose DISPLAY is this server's."""
        found = []
        for comm in Path("/proc").glob("[0-9]*/comm"):
            try:
                environ = (comm.parent / "environ").read_bytes().split(b"\0")
                if comm.read_text().strip() == name and f"DISPLAY={self.display}".encode() in environ:
                    found.append(int(comm.parent.name))
            except OSError:
                pass  # ended meanwhile, or another user's
        return found

    # --- X queries (xdotool, xwininfo, xprop) --------------------------------------------

    def env(self):
        return dict(os.environ, DISPLAY=self.display)

    def run(self, *command):
        """Runs an X client on this server; returns its output ("" when it fails)."""
        done = subprocess.run(command, env=self.env(), capture_output=True, text=True)
        return done.stdout if done.returncode == 0 else ""

    def visible_windows(self, pid):
        """Ids of the process's viewable windows."""
        return [int(w) for w in self.run("xdotool", "search", "--onlyvisible", "--pid", str(pid)).split()]

    def geometry(self, window):
        """[x, y, width, height]: the absolute position of the window's inside, and its size."""
        text = self.run("xwininfo", "-id", str(window))
        found = [re.search(rf"^\s*{key}:\s*(-?\d+)", text, re.M)
                 for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
        return [int(match[1]) for match in found] if all(found) else None

    def settled_geometry(self, window, previous=None, timeout=5):
        """The window's place once it differs from `previous` and has held still for SETTLE
        seconds: a window manager or compositor places a window a moment after it shows, and
        the program may then put it back. At the timeout, the last place seen."""
        last, since = self.geometry(window), time.monotonic()
        deadline = since + timeout
        while time.monotonic() < deadline and (last == previous or time.monotonic() - since < self.SETTLE):
            time.sleep(0.05)
            now = self.geometry(window)
            if now != last:
                last, since = now, time.monotonic()
        return last

    def override_redirect(self, window):
        return "Override Redirect State: yes" in self.run("xwininfo", "-id", str(window))

    def toplevel(self, window):
        """The top-level ancestor of a window: the window manager's frame, or the window."""
        root = self.root_id()
        while True:
            parent = re.search(r"Parent window id: (0x[0-9a-f]+)", self.run("xwininfo", "-tree", "-id", str(window)))
            if parent is None or int(parent[1], 16) == root:
                return window
            window = int(parent[1], 16)

    def stacking(self):
        """The root's children, topmost first: a list of (id, [x, y, width, height])."""
        # A line: 0x200001 "name": ("res" "class")  2x2+640+656  +640+656 (offsets may be "+-5")
        children = re.findall(r"^\s*(0x[0-9a-f]+)\b.*?\s(\d+)x(\d+)\+(-?\d+)\+(-?\d+)",
                              self.run("xwininfo", "-root", "-children"), re.M)
        return [(int(window, 16), [int(x), int(y), int(w), int(h)]) for window, w, h, x, y in children]

    def xprop(self, window, name):
        return self.run("xprop", "-id", str(window), name).strip()

    def xprop_root(self, name):
        return self.run("xprop", "-root", name).strip()

    def root_id(self):
        found = re.search(r"Window id: (0x[0-9a-f]+)", self.run("xwininfo", "-root"))
        return int(found[1], 16) if found else None

    def xdotool(self, *args):
        self.run("xdotool", *[str(a) for a in args])

    def grab(self, box=None):
        """A screenshot of the screen, or of the box (left, top, right, bottom), as RGB."""
        from PIL import ImageGrab
        return ImageGrab.grab(bbox=box, xdisplay=self.display).convert("RGB")

    def picture(self, window):
        """The window's pixels as the screen shows them."""
        x, y, w, h = self.geometry(window)
        return self.grab((x, y, x + w, y + h))

    def painted_picture(self, window, timeout=3):
        """The window's picture once it has painted itself (unpainted, its corner is black);
        at the timeout, as it is then."""
        def painted():
            picture = self.picture(window)
            return picture is not None and picture.getpixel((0, 0)) != BLACK
        wait_until(painted, timeout, 0.1)
        return self.picture(window)

    def save_image(self, name, image):
        image.save(self.outdir / f"{name}.png")

    def fact(self, key, value):
        """Records a fact for the checks; a value must be plain JSON data."""
        self.facts[key] = value

    def close(self):
        """Ends what the recording started, last first; a process that leads a session of its
        own (a compositor) with every process it started; Wine's own processes first."""
        if self.wine_prefix:
            subprocess.run([str(WINE), "stop", str(self.wine_prefix)], capture_output=True)
        for process in reversed(self._processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM) if _leads_group(process) else process.terminate()
                    process.wait(5)
                except (subprocess.TimeoutExpired, ProcessLookupError):
                    process.kill()
                    process.wait()
        self._processes.clear()


def _leads_group(process):
    try:
        return os.getpgid(process.pid) == process.pid
    except ProcessLookupError:
        return False


def wait_until(condition, timeout, interval=0.05):
    """Polls the condition until it holds or the timeout passes; returns its last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(interval)


def colour_mask(image, rgb):
    """A greyscale image: 255 where the pixel is exactly that colour, 0 elsewhere."""
    from PIL import ImageChops
    bands = [band.point([255 if v == want else 0 for v in range(256)]) for band, want in zip(image.split(), rgb)]
    return ImageChops.multiply(ImageChops.multiply(bands[0], bands[1]), bands[2])


def near(pixel, want, tolerance=4):
    """Whether every colour channel of the pixel is within the tolerance of the wanted one."""
    return all(abs(a - b) <= tolerance for a, b in zip(pixel, want))


def count_colour(image, rgb):
    return colour_mask(image, rgb).histogram()[255]


def xprop_values(line):
    """The values in a line of xprop's: the words after "=", without commas; [] when unset."""
    return line.partition("=")[2].replace(",", " ").split()


def screen_size(params, default="1280x720", key="size"):
    """(width, height) from a scenario's size=WxH parameter (or another of that form)."""
    width, height = params.get(key, default).split("x")
    return int(width), int(height)


def which(program):
    """The program's path, or None when it is not installed or KESTRIN_E2E_HIDE names it."""
    return None if program in os.environ.get("KESTRIN_E2E_HIDE", "").split() else shutil.which(program)


def require(*programs, skip=False):
    """Raises RuntimeError, or Skip when `skip`, when one of the programs is missing."""
    missing = [program for program in programs if not which(program)]
    if missing:
        raise (Skip if skip else RuntimeError)(f"{', '.join(missing)} not installed (see tools/install-deps.sh)")


# --- the checks' side -------------------------------------------------------------------------

class FactsCase(unittest.TestCase):
    """Base of a scenario's checks: reads the facts of the recording in E2E_OUTDIR."""

    facts = None
    outdir = None

    @classmethod
    def setUpClass(cls):
        cls.outdir = Path(os.environ["E2E_OUTDIR"])
        path = cls.outdir / FACTS_FILE
        cls.facts = json.loads(path.read_text()) if path.exists() else {
            "status": "error", "reason": f"no recording: {path} does not exist"}
        if cls.facts.get("status") == "skipped":
            raise unittest.SkipTest(cls.facts.get("reason", "the recording was skipped"))

    def fact(self, key):
        """A recorded fact; fails the check when the recording did not get that far."""
        if key not in self.facts:
            self.fail_for_missing(f"fact '{key}'")
        return self.facts[key]

    def image(self, name):
        from PIL import Image
        path = self.outdir / f"{name}.png"
        if not path.exists():
            self.fail_for_missing(f"screenshot '{name}'")
        return Image.open(path).convert("RGB")

    def fail_for_missing(self, what):
        self.fail(f"the recording has no {what}" + (f"; it stopped with: {self.facts['reason']}"
                                                    if "reason" in self.facts else ""))


def record(scenario, outdir, kestrin, params):
    """Runs a scenario's recording; writes the facts file whatever happens. Exit status."""
    outdir = Path(outdir)
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir(parents=True)
    module = importlib.import_module(scenario)
    session = getattr(module, "SESSION", Session)(outdir, kestrin)
    if params.pop("runner", None) == "wine":
        session.wine_prefix = outdir.parent / "wine"
    if "folder" in params:
        session.program_folder = outdir / params.pop("folder")
    session.scale = int(params.pop("scale", "1"))
    session.fact("scale", session.scale)
    session.fact("wine", session.wine_prefix is not None)
    status = 0
    try:
        if session.wine_prefix and not session.kestrin.is_file():
            raise Skip(f"no Windows program {session.kestrin}: make windows builds it")
        if not session.kestrin.is_file() or not os.access(session.kestrin, os.X_OK):
            raise RuntimeError(f"{session.kestrin} is not an executable")
        session.check_tools()
        module.record(session, params)
        session.facts["status"] = "recorded"
    except Skip as reason:
        session.facts = {"status": "skipped", "reason": str(reason)}
        status = SKIPPED
    except Exception as error:  # the checks say what is missing; this says why
        session.facts["status"] = "error"
        session.facts["reason"] = f"{type(error).__name__}: {error}"
        traceback.print_exc()
        status = 1
    finally:
        session.close()
        (outdir / FACTS_FILE).write_text(json.dumps(session.facts, indent=2, sort_keys=True))
    print(json.dumps(session.facts, indent=2, sort_keys=True))
    if status == SKIPPED:
        print("SKIP:", session.facts["reason"])
    return status


def check(scenario, outdir, name):
    """Runs one named check of a scenario against a recording. Exit status."""
    os.environ["E2E_OUTDIR"] = str(outdir)
    module = importlib.import_module(scenario)
    suite = unittest.defaultTestLoader.loadTestsFromName(f"Checks.{name}", module)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    if not result.wasSuccessful():
        return 1
    return SKIPPED if result.skipped else 0


def main(argv):
    if len(argv) >= 5 and argv[1] == "record":
        params = dict(arg.split("=", 1) for arg in argv[5:])
        return record(argv[2], argv[3], argv[4], params)
    if len(argv) == 5 and argv[1] == "check":
        return check(argv[2], argv[3], argv[4])
    print(__doc__)
    return 2


if __name__ == "__main__":
    # Run as the module "e2e" that the scenarios import, not as __main__: one Skip, one Session.
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    import e2e
    sys.exit(e2e.main(sys.argv))
