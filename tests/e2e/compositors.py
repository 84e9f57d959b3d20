"""The real program on Wayland compositors, through XWayland: a headless compositor of its
own per recording, the program started as a person's session would start it (DISPLAY and
WAYLAND_DISPLAY both set, no QT_QPA_PLATFORM), and the strip judged from the X side
(xwininfo, xprop, xdotool, the window's own pixels) and, where the compositor can take one,
from a screenshot of its output.

A scenario is a module in this folder with `record(session, params)`, which starts a
compositor and the program and stores what it saw with `session.fact()` and
`session.save_image()`, and a `Checks` class (a `FactsCase`) whose test methods judge
those facts. CTest runs

    compositors.py record SCENARIO OUTDIR KESTRIN [key=value ...]   (once, a fixture)
    compositors.py check SCENARIO OUTDIR TEST_NAME                  (once per check)

and by hand, recording and every check at once:

    compositors.py run SCENARIO KESTRIN [key=value ...]

Exit status 77 means skipped: the compositor is not installed or could not start here.
"""

import importlib
import io
import json
import os
import pwd
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import traceback
import unittest
from pathlib import Path

from PIL import Image

SKIPPED = 77
FACTS_FILE = "facts.json"
SOURCE_DIR = Path(__file__).resolve().parents[2]
STRIP_H = 64  # the strip's height in pixels


class Skip(Exception):
    """The scenario cannot run on this machine (its compositor is missing or will not start)."""


def wait_until(condition, timeout, interval=0.1):
    """Polls condition until it returns something true; returns that, or None on timeout."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value or None
        time.sleep(interval)


class Session:
    """One recording: a compositor with its XWayland server, processes started there, and the facts."""

    def __init__(self, outdir, kestrin):
        self.outdir = Path(outdir)
        self.kestrin = Path(kestrin).resolve()
        self.facts = {}
        self.display = None        # XWayland's display, ":N"
        self.xauthority = None     # its credentials, where the compositor made some
        self.wayland = None        # the compositor's socket name
        self.sway_socket = None    # sway's command socket
        self.runtime = Path(tempfile.mkdtemp(prefix="kestrin-wl-"))
        self.screenshot_command = None
        self._processes = []       # started here, ended by close(), last first

    # --- compositors --------------------------------------------------------------------

    def start_weston(self, width, height, panel):
        """weston's desktop shell with its panel at the top, the bottom or none."""
        self._require("weston", "Xwayland", "weston-screenshooter")
        config = self.runtime / "weston.ini"
        config.write_text(f"[shell]\npanel-position={panel}\n")
        self.wayland = "kestrin-weston"
        log = self.outdir / "weston.log"
        # --debug lets weston-screenshooter read the output back; pixman draws without a GPU.
        self._spawn(["weston", f"--config={config}", "--backend=headless-backend.so", "--use-pixman",
                     "--xwayland", "--debug", f"--socket={self.wayland}",
                     f"--width={width}", f"--height={height}"], log)
        found = wait_until(lambda: _after(log.read_text(errors="replace"), "listening on display "), 10)
        if not found:
            raise Skip("weston did not start an X server: " + _tail(log))
        self.display = found.split()[0]
        self.screenshot_command = ["weston-screenshooter"]
        self._started("weston", width, height)

    def start_sway(self, width, height, config_lines):
        """sway on a headless output, with these lines added to its configuration."""
        self._require("sway", "swaymsg", "Xwayland", "xhost")
        user = _unprivileged_user()
        config = self.runtime / "sway.cfg"
        config.write_text("xwayland enable\n"
                          f"output HEADLESS-1 resolution {width}x{height} position 0 0\n"
                          + "".join(line + "\n" for line in config_lines))
        # sway refuses to run as root: it runs as an ordinary user, and lets ours in to its
        # X server; the script it runs tells which display that is.
        hello = self._hello(f"xhost +si:localuser:{pwd.getpwuid(os.getuid()).pw_name}")
        env = {"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
               "HOME": str(self.runtime)}
        command = ["sway", "-c", str(config)]
        if user is not None:
            for path in (self.runtime, config, hello):
                os.chown(path, user.pw_uid, user.pw_gid)
            command = ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups"] + command
        log = self.outdir / "sway.log"
        self._spawn(command, log, env)
        socket = wait_until(lambda: next(self.runtime.glob("sway-ipc.*.sock"), None), 10)
        if not socket:
            raise Skip("sway did not start: " + _tail(log))
        self.sway_socket = str(socket)
        self.wayland = next(p.name for p in self.runtime.iterdir() if p.name.startswith("wayland-")
                            and not p.name.endswith(".lock"))
        self.swaymsg("exec", str(hello))
        self._wait_hello("sway", log)
        if shutil.which("grim"):
            self.screenshot_command = ["grim", "-o", "HEADLESS-1"]
        self._started("sway", width, height)

    def start_mutter(self, width, height):
        """mutter alone as a headless Wayland compositor (no GNOME Shell, so no panel)."""
        self._require("mutter", "dbus-run-session", "Xwayland")
        hello = self._hello(keep_running=True)
        self.wayland = "kestrin-mutter"
        log = self.outdir / "mutter.log"
        # mutter starts its XWayland with credentials; the script it runs hands them over.
        self._spawn(["dbus-run-session", "--", "mutter", "--wayland", "--headless",
                     f"--virtual-monitor={width}x{height}", f"--wayland-display={self.wayland}",
                     "--", str(hello)], log)
        self._wait_hello("mutter", log)
        self._started("mutter", width, height)

    def start_kwin(self, width, height):
        """KDE's kwin alone on a virtual framebuffer (no Plasma Shell, so no panel)."""
        self._require("kwin_wayland", "dbus-run-session", "Xwayland")
        kwin = _runnable_copy(shutil.which("kwin_wayland"), self.runtime)
        hello = self._hello(keep_running=True)
        self.wayland = "kestrin-kwin"
        log = self.outdir / "kwin.log"
        self._spawn(["dbus-run-session", "--", kwin, "--virtual", "--xwayland", f"--width={width}",
                     f"--height={height}", f"--socket={self.wayland}", "--exit-with-session", str(hello)], log)
        self._wait_hello("kwin", log)
        self._started("kwin", width, height)

    def swaymsg(self, *args):
        """A sway command or query; returns its output."""
        done = subprocess.run(["swaymsg", "-s", self.sway_socket, *args], capture_output=True, text=True)
        return done.stdout

    def _require(self, *tools):
        missing = [t for t in tools if not shutil.which(t)]
        if missing:
            raise Skip(f"{', '.join(missing)} not installed (see tools/install-deps.sh)")

    def _hello(self, first="", keep_running=False):
        """A script for the compositor to run: runs `first`, then writes DISPLAY and XAUTHORITY
        into the runtime folder (and stays, where the compositor ends with it)."""
        script = self.runtime / "hello"
        folder = self.runtime
        script.write_text("#!/bin/sh\n"
                          + (f"{first} >\"{folder}/hello.log\" 2>&1\n" if first else "")
                          + f"printenv XAUTHORITY >\"{folder}/xauthority\"\n"
                          f"printenv DISPLAY >\"{folder}/display.tmp\"\n"
                          f"mv \"{folder}/display.tmp\" \"{folder}/display\"\n"
                          + ("exec sleep 3600\n" if keep_running else ""))
        script.chmod(0o755)
        return script

    def _wait_hello(self, name, log):
        display = self.runtime / "display"
        if not wait_until(lambda: display.exists() and display.read_text().strip(), 15):
            raise Skip(f"{name} did not start an X server: " + _tail(log))
        self.display = display.read_text().strip()
        self.xauthority = (self.runtime / "xauthority").read_text().strip() or None

    def _started(self, name, width, height):
        self.fact("compositor", name)
        self.fact("output", {"width": width, "height": height})
        # XWayland's server starts on the first client; this one waits for it to answer.
        if not wait_until(lambda: self.run("xwininfo", "-root"), 10):
            raise RuntimeError(f"{name}'s X server {self.display} does not answer")

    def _spawn(self, command, log, extra_env=None):
        env = dict(os.environ, XDG_RUNTIME_DIR=str(self.runtime), **(extra_env or {}))
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        # A session of its own, so close() can end the compositor with every child it started.
        process = subprocess.Popen(command, env=env, cwd=self.runtime, stdout=open(log, "wb"),
                                   stderr=subprocess.STDOUT, start_new_session=True)
        self._processes.append(process)
        return process

    # --- the program --------------------------------------------------------------------

    def start_program(self):
        """Starts the program as a Wayland session's launcher would (output in kestrin.log)."""
        env = self.env()
        env["WAYLAND_DISPLAY"] = self.wayland
        env["XDG_RUNTIME_DIR"] = str(self.runtime)
        env.pop("QT_QPA_PLATFORM", None)
        process = subprocess.Popen([str(self.kestrin)], env=env, stdout=open(self.outdir / "kestrin.log", "wb"),
                                   stderr=subprocess.STDOUT)
        self._processes.append(process)
        return process

    def wait_window(self, process, timeout=10):
        """The first visible window of the process; raises with the reason when none shows."""
        found = []

        def shown():
            found[:] = self.visible_windows(process.pid)
            return bool(found) or process.poll() is not None
        wait_until(shown, timeout)
        if found:
            return found[0]
        said = (self.outdir / "kestrin.log").read_text(errors="replace")[:600]
        raise RuntimeError(f"no visible kestrin window within {timeout} s; kestrin said: {said}")

    # --- X queries and input --------------------------------------------------------------

    def env(self):
        env = dict(os.environ, DISPLAY=self.display)
        env.pop("XAUTHORITY", None)
        if self.xauthority:
            env["XAUTHORITY"] = self.xauthority
        return env

    def run(self, *command):
        """Runs an X client on XWayland; returns its output ("" when it fails)."""
        done = subprocess.run(command, env=self.env(), capture_output=True)
        return done.stdout.decode(errors="replace") if done.returncode == 0 else ""

    def visible_windows(self, pid):
        return [int(w) for w in self.run("xdotool", "search", "--onlyvisible", "--pid", str(pid)).split()]

    def geometry(self, window):
        """[x, y, width, height] of a window's inside, in root coordinates."""
        info = self.run("xwininfo", "-id", str(window))
        keys = ("Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:")
        values = {k: int(line.split(":")[-1]) for line in info.splitlines() for k in keys if line.strip().startswith(k)}
        return [values.get(k) for k in keys]

    def xprop(self, window, prop):
        return self.run("xprop", "-id", str(window), prop).strip()

    def xprop_root(self, prop):
        return self.run("xprop", "-root", prop).strip()

    def grab_window(self, window):
        """The window's own pixels, as the X server holds them."""
        data = subprocess.run(["import", "-window", str(window), "png:-"], env=self.env(),
                              capture_output=True).stdout
        return Image.open(io.BytesIO(data)).convert("RGB") if data else None

    def screenshot(self):
        """The compositor's whole output, or None where it cannot take one."""
        if not self.screenshot_command:
            return None
        shots = self.runtime / "shots"
        shots.mkdir(exist_ok=True)
        command = self.screenshot_command + ([str(shots / "output.png")] if self.screenshot_command[0] == "grim" else [])
        env = dict(os.environ, XDG_RUNTIME_DIR=str(self.runtime), WAYLAND_DISPLAY=self.wayland)
        subprocess.run(command, env=env, cwd=shots, capture_output=True, timeout=20)
        files = sorted(shots.glob("*.png"))
        if not files:
            return None
        image = Image.open(files[-1]).convert("RGB")
        for f in files:
            f.unlink()
        return image

    def xdotool(self, *args):
        self.run("xdotool", *args)

    # --- facts --------------------------------------------------------------------------

    def fact(self, key, value):
        self.facts[key] = value

    def save_image(self, name, image):
        if image is not None:
            image.save(self.outdir / f"{name}.png")

    def write_facts(self):
        (self.outdir / FACTS_FILE).write_text(json.dumps(self.facts, indent=2) + "\n")

    def end_program(self, process, timeout=5):
        """Sends SIGTERM; returns the exit status, or None if it still ran after the timeout."""
        process.send_signal(signal.SIGTERM)
        try:
            return process.wait(timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
            return None

    def close(self):
        for process in reversed(self._processes):
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGTERM) if _leads_group(process) else process.terminate()
                    process.wait(5)
                except (subprocess.TimeoutExpired, ProcessLookupError):
                    process.kill()
                    process.wait()
        shutil.rmtree(self.runtime, ignore_errors=True)


def _leads_group(process):
    try:
        return os.getpgid(process.pid) == process.pid
    except ProcessLookupError:
        return False


def _runnable_copy(program, folder):
    """The program, or a copy of it where it cannot be started as it is: Debian gives
    kwin_wayland a file capability, which a container without that capability refuses to
    execute; the copy has none."""
    try:
        subprocess.run([program, "--version"], capture_output=True, timeout=20)
        return program
    except PermissionError:
        copy = Path(folder) / Path(program).name
        shutil.copy(program, copy)
        return str(copy)


def _unprivileged_user():
    """The user a compositor that will not run as root runs as; None when we are not root."""
    if os.getuid() != 0:
        return None
    try:
        return pwd.getpwnam("nobody")
    except KeyError:
        raise Skip("no 'nobody' user to run the compositor as (it refuses to run as root)")


def _after(text, marker):
    index = text.find(marker)
    return text[index + len(marker):].strip() if index >= 0 else ""


def _tail(path, chars=400):
    try:
        return path.read_text(errors="replace")[-chars:].strip()
    except OSError:
        return "(no log)"


def record_strip(session, input_works=True, on_shown=None):
    """Starts the program and records the strip: its place, its pixels on the X side and on
    the compositor's output, the menu on a right press, and Exit chosen from it (where
    input can be sent: input_works=False leaves the last two out). on_shown(session, program)
    records what else the scenario wants to know while the strip is up."""
    program = session.start_program()
    window = session.wait_window(program)
    # Give the compositor the moment it takes to place the window.
    time.sleep(0.5)
    strip = session.geometry(window)
    session.fact("strip", strip)
    session.fact("size_hints", session.xprop(window, "WM_NORMAL_HINTS"))
    # The unpainted strip is black: wait for the first paint.
    pixels = wait_until(lambda: _painted(session.grab_window(window)), 3)
    session.save_image("strip_pixels", pixels)
    session.save_image("output", session.screenshot())
    if on_shown:
        on_shown(session, program)

    session.fact("input_works", input_works)
    if not input_works:
        session.end_program(program)
        return
    x, y, w, h = strip
    session.xdotool("mousemove", str(x + 100), str(y + h // 2), "click", "3")

    def menu_shown():
        count = len(session.visible_windows(program.pid))
        return count if count >= 2 else None
    session.fact("windows_after_right_press", wait_until(menu_shown, 3) or len(session.visible_windows(program.pid)))
    # Up from no item selects the menu's last one, Exit.
    session.xdotool("key", "Up", "Return")
    try:
        session.fact("exit_status", program.wait(5))
    except subprocess.TimeoutExpired:
        session.fact("exit_status", None)
        session.end_program(program)


def x_work_area(session):
    """The work area XWayland's clients are told of: _NET_WORKAREA's first desktop, or the
    whole screen where the compositor publishes none."""
    values = session.xprop_root("_NET_WORKAREA").partition("=")[2].replace(",", " ").split()
    if len(values) >= 4:
        return [int(v) for v in values[:4]]
    size = session.run("xwininfo", "-root")
    width = int(_after(size, "Width:").split()[0])
    height = int(_after(size, "Height:").split()[0])
    return [0, 0, width, height]


def _painted(image):
    return image if image is not None and image.getpixel((0, 0)) != (0, 0, 0) else None


# --- checks ---------------------------------------------------------------------------------

class FactsCase(unittest.TestCase):
    """Base of a scenario's checks: the facts and pictures of its recording."""

    outdir = None
    _facts = None

    @classmethod
    def setUpClass(cls):
        cls._facts = json.loads((Path(cls.outdir) / FACTS_FILE).read_text())

    def fact(self, key):
        if key not in self._facts:
            self.fail(f"the recording stopped before it saw {key!r} (see {self.outdir})")
        return self._facts[key]

    def has_image(self, name):
        return (Path(self.outdir) / f"{name}.png").exists()

    def image(self, name):
        path = Path(self.outdir) / f"{name}.png"
        if not path.exists():
            self.fail(f"the recording has no {name}.png (see {self.outdir})")
        return Image.open(path).convert("RGB")


class StripChecks(FactsCase):
    """What every compositor must show: the strip on the bottom of the work area, full width,
    64 pixels high, its title drawn; the menu opens on a right press and Exit ends the program.
    The recording's facts: "strip", "work_area" ([x, y, w, h]), "strip_pixels", "output"
    (the compositor's screenshot, when it can take one), "windows_after_right_press",
    "exit_status"."""

    def expected_strip(self):
        x, y, w, h = self.fact("work_area")
        return [x, y + h - STRIP_H, w, STRIP_H]

    def test_strip_stands_on_the_work_area_bottom_full_width(self):
        self.assertEqual(self.fact("strip"), self.expected_strip(),
                         f"strip [x, y, width, height]; work area {self.fact('work_area')}")

    def test_title_is_drawn_in_the_middle_of_the_strip(self):
        strip = self.image("strip_pixels")
        width, height = strip.size
        self.assertEqual(height, STRIP_H)
        white = [(x, y) for y in range(height) for x in range(width) if strip.getpixel((x, y)) == (255, 255, 255)]
        self.assertGreater(len(white), 100, "the title's white lettering")
        middle = sum(x for x, _ in white) / len(white)
        self.assertLess(abs(middle - width / 2), width / 8, "the lettering is about the strip's middle")

    def test_right_press_opens_the_menu_and_exit_ends_the_program(self):
        if not self.fact("input_works"):
            self.skipTest("no input can be sent to this compositor's X server")
        self.assertGreaterEqual(self.fact("windows_after_right_press"), 2, "the strip and the popup menu")
        self.assertEqual(self.fact("exit_status"), 0, "Exit ended the program with status 0 (None: it still ran)")


def output_shows(test, strip_rect):
    """Share of the strip's pixels that the compositor's output shows as the program drew
    them; skips the test where the compositor could not take a screenshot."""
    if not test.has_image("output"):
        test.skipTest("no screenshot of the compositor's output")
    output = test.image("output")
    strip = test.image("strip_pixels")
    x, y, w, h = strip_rect
    shown = output.crop((x, y, x + w, y + h))
    same = sum(1 for a, b in zip(shown.getdata(), strip.getdata())
               if all(abs(p - q) <= 4 for p, q in zip(a, b)))
    return same / (w * h)


# --- the record / check / run command line ------------------------------------------------

def _scenario(name):
    sys.path.insert(0, str(Path(__file__).resolve().parent))
    return importlib.import_module(name)


def record(scenario, outdir, kestrin, params):
    outdir = Path(outdir)
    shutil.rmtree(outdir, ignore_errors=True)
    outdir.mkdir(parents=True)
    session = Session(outdir, kestrin)
    session.fact("params", params)
    try:
        _scenario(scenario).record(session, params)
        session.fact("status", "recorded")
        return 0
    except Skip as reason:
        session.facts = {"status": "skipped", "reason": str(reason)}
        print(f"SKIP: {reason}")
        return SKIPPED
    except Exception:
        traceback.print_exc()
        session.fact("status", "broken")
        return 1
    finally:
        session.close()
        session.write_facts()
        for key, value in session.facts.items():
            print(f"  {key}: {value}")


def check(scenario, outdir, names):
    facts = Path(outdir) / FACTS_FILE
    if not facts.exists():
        print(f"FAIL: no recording in {outdir}")
        return 1
    status = json.loads(facts.read_text()).get("status")
    if status == "skipped":
        print("SKIP: the recording was skipped: " + json.loads(facts.read_text()).get("reason", ""))
        return SKIPPED
    cases = _scenario(scenario).Checks
    cases.outdir = str(outdir)
    suite = unittest.TestSuite(cases(name) for name in names) if names else \
        unittest.defaultTestLoader.loadTestsFromTestCase(cases)
    result = unittest.TextTestRunner(verbosity=2, stream=sys.stdout).run(suite)
    if result.wasSuccessful() and result.testsRun and len(result.skipped) == result.testsRun:
        return SKIPPED
    return 0 if result.wasSuccessful() else 1


def main(argv):
    if len(argv) >= 4 and argv[0] == "record":
        return record(argv[1], argv[2], argv[3], dict(a.split("=", 1) for a in argv[4:]))
    if len(argv) >= 3 and argv[0] == "check":
        return check(argv[1], argv[2], argv[3:])
    if len(argv) >= 3 and argv[0] == "run":
        outdir = tempfile.mkdtemp(prefix=f"kestrin-{argv[1]}-")
        status = record(argv[1], outdir, argv[2], dict(a.split("=", 1) for a in argv[3:]))
        if status == 0:
            status = check(argv[1], outdir, [])
        print(f"recording and pictures: {outdir}")
        return status
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
