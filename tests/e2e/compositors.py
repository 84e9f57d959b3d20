"""The strip on Wayland compositors through XWayland: a headless compositor of its own per
recording (weston, sway, mutter, kwin), its XWayland server as the session's display, the
program started as a person's session would start it (DISPLAY and WAYLAND_DISPLAY both set,
no QT_QPA_PLATFORM), the strip judged from the X side (xwininfo, xprop, xdotool, the
window's own pixels) and, where the compositor can take one, from a screenshot of its
output. Without the compositor, or where it cannot start, the recording is skipped.

- weston's desktop shell, with its panel at the top, at the bottom or none. weston publishes
  no work area to X clients, so the program can only stand on the screen's bottom: with the
  panel at the bottom, the panel covers the strip's lower part (a known limit, checked so
  that a weston that lifts it is noticed). No input can be sent: the headless backend has no
  seat, and XWayland crashes on synthetic input there.
- sway, which tiles ordinary X windows and centres floating ones, whatever place they ask
  for; the one line of configuration in RULE, which a user adds to sway's config, floats the
  strip and stands it on the bottom of the output's usable area (above a bottom bar). The
  rule picks the strip by its title, so the version dialog and the message boxes, which have
  titles of their own, are still centred.
- mutter alone, headless, with one virtual monitor: it publishes a work area to X clients;
  without GNOME Shell there is no panel in it.
- KDE's kwin_wayland alone on a virtual framebuffer: without Plasma Shell there is no panel,
  and kwin publishes no work area to X clients.

Parameters: compositor=weston|sway|mutter|kwin, size=WxH; for weston panel=top|bottom|none;
for sway rule=yes|no (the line in sway's config or not), bar=bottom|none.
"""

import io
import json
import os
import pwd
import re
import shutil
import subprocess
import tempfile
from pathlib import Path
from typing import Callable, NamedTuple

import e2e
from e2e import STRIP_H

RULE = ('for_window [class="kestrin" title="^kestrin$"] '
        'floating enable, move position 0 px 100 ppt, move up 64 px')
BAR = ["bar {", "    position bottom", "    status_command while date; do sleep 60; done", "}"]


class Session(e2e.Session):
    """A recording on a compositor's XWayland server: the compositor, processes started
    there, and the facts. Each compositor's start checks for its own programs."""

    SERVER_TOOLS = ()
    TOOLS = e2e.Session.TOOLS + ("import",)
    SETTLE = 0.8  # the compositor places the window, then the program may put it back

    def __init__(self, outdir, kestrin):
        super().__init__(outdir, kestrin)
        self.xauthority = None     # XWayland's credentials, where the compositor made some
        self.wayland = None        # the compositor's socket name
        self.sway_socket = None    # sway's command socket
        self.runtime = Path(tempfile.mkdtemp(prefix="kestrin-wl-"))
        self.screenshot_command = None

    def start_weston(self, width, height, params):
        """weston's desktop shell with its panel at the top, the bottom or none."""
        e2e.require("weston", "Xwayland", "weston-screenshooter", skip=True)
        panel = params.get("panel", "top")
        self.fact("panel", panel)
        config = self.runtime / "weston.ini"
        config.write_text(f"[shell]\npanel-position={panel}\n")
        self.wayland = "kestrin-weston"
        log = self.outdir / "weston.log"
        # --debug lets weston-screenshooter read the output back; pixman draws without a GPU.
        self._spawn(["weston", f"--config={config}", "--backend=headless-backend.so", "--use-pixman",
                     "--xwayland", "--debug", "--logger-scopes=log,xwm-wm-x11", f"--socket={self.wayland}",
                     f"--width={width}", f"--height={height}"], log)
        found = e2e.wait_until(lambda: re.search(r"listening on display (\S+)", log.read_text(errors="replace")), 10)
        if not found:
            raise e2e.Skip("weston did not start an X server: " + _tail(log))
        self.display = found[1]
        self.screenshot_command = ["weston-screenshooter"]

    def start_sway(self, width, height, params):
        """sway on a headless output, with the user's RULE and a bottom BAR when asked for."""
        e2e.require("sway", "swaymsg", "Xwayland", "xhost", skip=True)
        rule = params.get("rule", "yes") == "yes"
        bar = params.get("bar", "none") == "bottom"
        self.fact("rule", rule)
        self.fact("bar", bar)
        user = _unprivileged_user()
        config = self.runtime / "sway.cfg"
        config.write_text("xwayland enable\n"
                          f"output HEADLESS-1 resolution {width}x{height} position 0 0\n"
                          + "".join(line + "\n" for line in ([RULE] if rule else []) + (BAR if bar else [])))
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
        if e2e.which("grim"):
            self.screenshot_command = ["grim", "-o", "HEADLESS-1", "output.png"]
        if bar:
            # swaybar takes its place on the output once it has drawn itself.
            e2e.wait_until(lambda: self.usable_area()[3] < height, 5)

    def start_mutter(self, width, height, params):
        """mutter alone as a headless Wayland compositor (no GNOME Shell, so no panel)."""
        e2e.require("mutter", "dbus-run-session", "Xwayland", skip=True)
        hello = self._hello(keep_running=True)
        self.wayland = "kestrin-mutter"
        log = self.outdir / "mutter.log"
        # mutter starts its XWayland with credentials; the script it runs hands them over.
        self._spawn(["dbus-run-session", "--", "mutter", "--wayland", "--headless",
                     f"--virtual-monitor={width}x{height}", f"--wayland-display={self.wayland}",
                     "--", str(hello)], log)
        self._wait_hello("mutter", log)

    def start_kwin(self, width, height, params):
        """KDE's kwin alone on a virtual framebuffer (no Plasma Shell, so no panel)."""
        e2e.require("kwin_wayland", "dbus-run-session", "Xwayland", skip=True)
        kwin = _runnable_copy(e2e.which("kwin_wayland"), self.runtime)
        hello = self._hello(keep_running=True)
        self.wayland = "kestrin-kwin"
        log = self.outdir / "kwin.log"
        self._spawn(["dbus-run-session", "--", kwin, "--virtual", "--xwayland", f"--width={width}",
                     f"--height={height}", f"--socket={self.wayland}", "--exit-with-session", str(hello)], log)
        self._wait_hello("kwin", log)

    def swaymsg(self, *args):
        """A sway command or query; returns its output."""
        done = subprocess.run(["swaymsg", "-s", self.sway_socket, *args], capture_output=True, text=True)
        return done.stdout

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

    def _spawn(self, command, log, extra_env=None):
        env = dict(os.environ, XDG_RUNTIME_DIR=str(self.runtime), **(extra_env or {}))
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM"):
            env.pop(name, None)
        # A session of its own, so close() can end the compositor with every child it started.
        self._processes.append(subprocess.Popen(command, env=env, cwd=self.runtime, stdout=open(log, "wb"),
                                                stderr=subprocess.STDOUT, start_new_session=True))

    def program_env(self):
        """As a Wayland session's launcher would start the program: both displays set."""
        return dict(super().program_env(), WAYLAND_DISPLAY=self.wayland, XDG_RUNTIME_DIR=str(self.runtime))

    # --- X queries and input --------------------------------------------------------------

    def env(self):
        env = dict(os.environ, DISPLAY=self.display)
        env.pop("XAUTHORITY", None)
        if self.xauthority:
            env["XAUTHORITY"] = self.xauthority
        return env

    def picture(self, window):
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
        env = dict(os.environ, XDG_RUNTIME_DIR=str(self.runtime), WAYLAND_DISPLAY=self.wayland)
        # Each tool writes its picture into the folder it runs in.
        subprocess.run(self.screenshot_command, env=env, cwd=shots, capture_output=True, timeout=20)
        files = sorted(shots.glob("*.png"))
        if not files:
            return None
        from PIL import Image
        image = Image.open(files[-1]).convert("RGB")
        for f in files:
            f.unlink()
        return image

    def usable_area(self):
        """sway's focused workspace's rectangle: the output less its bars."""
        workspaces = json.loads(self.swaymsg("-t", "get_workspaces") or "[]")
        rect = next((w["rect"] for w in workspaces if w.get("focused")), None)
        return [rect["x"], rect["y"], rect["width"], rect["height"]] if rect else None

    def close(self):
        super().close()
        shutil.rmtree(self.runtime, ignore_errors=True)


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


def _tail(path, chars=400):
    try:
        return path.read_text(errors="replace")[-chars:].strip()
    except OSError:
        return "(no log)"


def x_work_area(session):
    """The work area XWayland's clients are told of: _NET_WORKAREA's first desktop, or the
    whole screen where the compositor publishes none."""
    values = e2e.xprop_values(session.xprop_root("_NET_WORKAREA"))
    return [int(v) for v in values[:4]] if len(values) >= 4 else session.geometry(session.root_id())


def right_press(session, program):
    """Presses the right button on the strip; the number of the program's visible windows
    once its menu shows, or after 3 s."""
    x, y, w, h = session.facts["strip"]
    session.xdotool("mousemove", x + 100, y + h // 2, "click", 3)
    e2e.wait_until(lambda: len(session.visible_windows(program.pid)) >= 2, 3)
    return len(session.visible_windows(program.pid))


def _sway_while_shown(session, program):
    """How sway holds the strip, and where it puts the version dialog (from the menu's
    second item from the bottom; Escape closes it)."""
    session.fact("sway_holds_strip_as", _sway_strip_node(session))
    right_press(session, program)
    session.xdotool("key", "Up", "Up", "Return")
    dialogs = e2e.wait_until(lambda: [v for v in session.visible_windows(program.pid) if "_DIALOG"
                                      in session.xprop(v, "_NET_WM_WINDOW_TYPE")], 3)
    session.fact("version_dialog", session.geometry(dialogs[0]) if dialogs else None)
    session.xdotool("key", "Escape")
    e2e.wait_until(lambda: len(session.visible_windows(program.pid)) == 1, 3)


def _sway_strip_node(session):
    """How sway holds the strip: "floating_con" or "con" (tiled), and its rectangle."""
    def walk(node):
        if (node.get("window_properties") or {}).get("class") == "kestrin":
            yield node
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from walk(child)
    tree = json.loads(session.swaymsg("-t", "get_tree") or "{}")
    node = next(walk(tree), None)
    return {"type": node["type"], "rect": node["rect"]} if node else None


class Compositor(NamedTuple):
    start: Callable          # a Session method (width, height, params) that starts it
    work_area: Callable      # what it publishes to X clients as their work area
    input_works: bool = True
    while_shown: Callable = None  # (session, program): what else to record while the strip is up


COMPOSITORS = {
    "weston": Compositor(Session.start_weston, x_work_area, input_works=False),
    "sway": Compositor(Session.start_sway, Session.usable_area, while_shown=_sway_while_shown),
    "mutter": Compositor(Session.start_mutter, x_work_area),
    "kwin": Compositor(Session.start_kwin, x_work_area),
}
SESSION = Session


def record(session, params):
    """Starts the compositor and records the strip: its place, its pixels on the X side and
    on the compositor's output, the menu on a right press, and Exit chosen from it (where
    input can be sent)."""
    name = params["compositor"]
    compositor = COMPOSITORS[name]
    width, height = e2e.screen_size(params)
    compositor.start(session, width, height, params)
    session.fact("compositor", name)
    session.fact("output", {"width": width, "height": height})
    # XWayland's server starts on the first client; this one waits for it to answer.
    if not e2e.wait_until(lambda: session.run("xwininfo", "-root"), 10):
        raise RuntimeError(f"{name}'s X server {session.display} does not answer")
    session.fact("net_workarea", session.xprop_root("_NET_WORKAREA"))
    session.fact("work_area", compositor.work_area(session))
    program, window = session.start_strip()
    session.fact("size_hints", session.xprop(window, "WM_NORMAL_HINTS"))
    output = session.screenshot()
    if output is not None:
        session.save_image("output", output)
    if compositor.while_shown:
        compositor.while_shown(session, program)

    session.fact("input_works", compositor.input_works)
    if not compositor.input_works:
        session.end_program(program)
        return
    session.fact("windows_after_right_press", right_press(session, program))
    # Up from no item selects the menu's last one, Exit.
    session.xdotool("key", "Up", "Return")
    try:
        session.fact("exit_status", program.wait(5))
    except subprocess.TimeoutExpired:
        session.fact("exit_status", None)
        session.end_program(program)


# --- checks ---------------------------------------------------------------------------------

class Checks(e2e.FactsCase):
    """What every compositor must show: the strip on the bottom of the work area, full width,
    64 pixels high, its title drawn; the menu opens on a right press and Exit ends the program.
    Checks named after a compositor judge that compositor only."""

    def test_strip_stands_on_the_work_area_bottom_full_width(self):
        x, y, w, h = self.fact("work_area")
        self.assertEqual(self.fact("strip"), [x, y + h - STRIP_H, w, STRIP_H],
                         f"strip [x, y, width, height]; work area {self.fact('work_area')}")

    def test_title_is_drawn_in_the_middle_of_the_strip(self):
        strip = self.image("strip")
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

    def test_weston_output_shows_the_whole_strip(self):
        share = self.share_of_the_strip_shown()
        if self.fact("panel") == "bottom":
            self.assertLess(share, 0.9, "weston's bottom panel no longer covers the strip: "
                                        "update the README's compatibility table")
        else:
            self.assertGreater(share, 0.99, "share of the strip's pixels weston's output shows")

    def test_sway_output_shows_the_whole_strip(self):
        self.assertGreater(self.share_of_the_strip_shown(), 0.99, "share of the strip's pixels sway's output shows")

    def test_sway_rule_leaves_the_version_dialog_centred(self):
        dialog = self.fact("version_dialog")
        self.assertIsNotNone(dialog, "the version dialog did not open from the menu")
        x, y, w, h = dialog
        ax, ay, aw, ah = self.fact("work_area")
        # sway centres it in the usable area, up to its border of a pixel or two.
        self.assertLessEqual(abs(x + w / 2 - (ax + aw / 2)), 3, f"dialog {dialog}, usable area {[ax, ay, aw, ah]}")
        self.assertLessEqual(abs(y + h / 2 - (ay + ah / 2)), 3, f"dialog {dialog}, usable area {[ax, ay, aw, ah]}")

    def test_mutter_publishes_the_work_area(self):
        self.assertIn("_NET_WORKAREA(CARDINAL) = ", self.fact("net_workarea"))

    def share_of_the_strip_shown(self):
        """Share of the strip's pixels that the compositor's output shows as the program drew
        them; skips the check where the compositor could not take a screenshot."""
        if not (self.outdir / "output.png").exists():
            self.skipTest("no screenshot of the compositor's output")
        output = self.image("output")
        strip = self.image("strip")
        x, y, w, h = self.fact("strip")
        shown = output.crop((x, y, x + w, y + h))
        same = sum(1 for a, b in zip(shown.getdata(), strip.getdata()) if e2e.near(a, b))
        return same / (w * h)
