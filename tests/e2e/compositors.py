"""Wayland compositors for the end-to-end scenarios: a headless compositor of its own per
recording (weston, sway, mutter, kwin), its XWayland server as the session's display, the
program started as a person's session would start it (DISPLAY and WAYLAND_DISPLAY both set,
no QT_QPA_PLATFORM), the strip judged from the X side (xwininfo, xprop, xdotool, the
window's own pixels) and, where the compositor can take one, from a screenshot of its
output, and the checks every compositor must pass.

A compositor scenario sets `SESSION = compositors.Session`, starts its compositor in
`record` (Skip when it is not installed or cannot start) and calls `record_strip`; its
`Checks` class derives from `StripChecks`.
"""

import importlib.util
import io
import os
import pwd
import shutil
import signal
import subprocess
import tempfile
import time
from pathlib import Path

import e2e

STRIP_H = 64  # the strip's height in pixels


class Session(e2e.Session):
    """A recording on a compositor's XWayland server: the compositor, processes started
    there, and the facts."""

    def __init__(self, outdir, kestrin):
        super().__init__(outdir, kestrin)
        self.xauthority = None     # XWayland's credentials, where the compositor made some
        self.wayland = None        # the compositor's socket name
        self.sway_socket = None    # sway's command socket
        self.runtime = Path(tempfile.mkdtemp(prefix="kestrin-wl-"))
        self.screenshot_command = None

    def check_tools(self):
        """Pillow and the X tools are needed, not Xvfb: each compositor's start checks for
        its own programs and skips without them."""
        if importlib.util.find_spec("PIL") is None:
            raise RuntimeError("Pillow is needed (Debian: python3-pil, see tools/install-deps.sh)")
        missing = [tool for tool in ("xdotool", "xwininfo", "xprop", "import") if not shutil.which(tool)]
        if missing:
            raise RuntimeError(f"{', '.join(missing)} needed and not installed (see tools/install-deps.sh)")

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
                     "--xwayland", "--debug", "--logger-scopes=log,xwm-wm-x11", f"--socket={self.wayland}",
                     f"--width={width}", f"--height={height}"], log)
        found = e2e.wait_until(lambda: _after(log.read_text(errors="replace"), "listening on display "), 10)
        if not found:
            raise e2e.Skip("weston did not start an X server: " + _tail(log))
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
        socket = e2e.wait_until(lambda: next(self.runtime.glob("sway-ipc.*.sock"), None), 10)
        if not socket:
            raise e2e.Skip("sway did not start: " + _tail(log))
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
            raise e2e.Skip(f"{', '.join(missing)} not installed (see tools/install-deps.sh)")

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
        if not e2e.wait_until(lambda: display.exists() and display.read_text().strip(), 15):
            raise e2e.Skip(f"{name} did not start an X server: " + _tail(log))
        self.display = display.read_text().strip()
        self.xauthority = (self.runtime / "xauthority").read_text().strip() or None

    def _started(self, name, width, height):
        self.fact("compositor", name)
        self.fact("output", {"width": width, "height": height})
        # XWayland's server starts on the first client; this one waits for it to answer.
        if not e2e.wait_until(lambda: self.run("xwininfo", "-root"), 10):
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

    # --- X queries and input --------------------------------------------------------------

    def env(self):
        env = dict(os.environ, DISPLAY=self.display)
        env.pop("XAUTHORITY", None)
        if self.xauthority:
            env["XAUTHORITY"] = self.xauthority
        return env

    def grab_window(self, window):
        """The window's own pixels, as the X server holds them."""
        from PIL import Image
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
        from PIL import Image
        image = Image.open(files[-1]).convert("RGB")
        for f in files:
            f.unlink()
        return image

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
        raise e2e.Skip("no 'nobody' user to run the compositor as (it refuses to run as root)")


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
    strip = _settled_geometry(session, window)
    session.fact("strip", strip)
    session.fact("size_hints", session.xprop(window, "WM_NORMAL_HINTS"))
    # The unpainted strip is black: wait for the first paint.
    pixels = e2e.wait_until(lambda: _painted(session.grab_window(window)), 3)
    output = session.screenshot()
    for name, image in (("strip_pixels", pixels), ("output", output)):
        if image is not None:
            session.save_image(name, image)
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
    session.fact("windows_after_right_press", e2e.wait_until(menu_shown, 3) or len(session.visible_windows(program.pid)))
    # Up from no item selects the menu's last one, Exit.
    session.xdotool("key", "Up", "Return")
    try:
        session.fact("exit_status", program.wait(5))
    except subprocess.TimeoutExpired:
        session.fact("exit_status", None)
        session.end_program(program)


def _settled_geometry(session, window, still=0.8, timeout=5):
    """The window's place once it has held still for `still` seconds: the compositor places
    the window a moment after it shows, and the program may then put it back. At the
    timeout, the last place seen."""
    last, since = session.geometry(window), time.monotonic()
    deadline = since + timeout
    while time.monotonic() < deadline and time.monotonic() - since < still:
        time.sleep(0.05)
        now = session.geometry(window)
        if now != last:
            last, since = now, time.monotonic()
    return last


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

class StripChecks(e2e.FactsCase):
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
    if not (test.outdir / "output.png").exists():
        test.skipTest("no screenshot of the compositor's output")
    output = test.image("output")
    strip = test.image("strip_pixels")
    x, y, w, h = strip_rect
    shown = output.crop((x, y, x + w, y + h))
    same = sum(1 for a, b in zip(shown.getdata(), strip.getdata())
               if all(abs(p - q) <= 4 for p, q in zip(a, b)))
    return same / (w * h)
