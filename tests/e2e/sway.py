"""The strip on sway through XWayland. sway tiles ordinary X windows and centres floating
ones, whatever place they ask for; the one line of configuration below, which a user adds
to sway's config, floats the strip and stands it on the bottom of the output's usable area
(above a bottom bar). The rule picks the strip by its title, so the version dialog and
the message boxes, which have titles of their own, are still centred.

Parameters: rule=yes|no (the line in sway's config or not), bar=bottom|none, size=WxH.
"""

import json
import time

import compositors
import e2e

SESSION = compositors.Session
RULE = ('for_window [class="kestrin" title="^kestrin$"] '
        'floating enable, move position 0 px 100 ppt, move up 64 px')
BAR = ["bar {", "    position bottom", "    status_command while date; do sleep 60; done", "}"]


def record(session, params):
    width, height = (int(v) for v in params.get("size", "1280x720").split("x"))
    rule = params.get("rule", "yes") == "yes"
    bar = params.get("bar", "none") == "bottom"
    session.fact("rule", rule)
    session.fact("bar", bar)
    session.start_sway(width, height, ([RULE] if rule else []) + (BAR if bar else []))
    if bar:
        # swaybar takes its place on the output once it has drawn itself.
        e2e.wait_until(lambda: _usable_area(session)[3] < height, 5)
    session.fact("work_area", _usable_area(session))
    compositors.record_strip(session, on_shown=_while_shown)


def _while_shown(session, program):
    session.fact("sway_holds_strip_as", _strip_node(session))
    # The version dialog, from the menu's second item from the bottom; Escape closes it.
    x, y, w, h = session.facts["strip"]
    session.xdotool("mousemove", str(x + 100), str(y + h // 2), "click", "3")
    time.sleep(0.5)
    session.xdotool("key", "Up", "Up", "Return")
    dialogs = e2e.wait_until(lambda: [v for v in session.visible_windows(program.pid) if "_DIALOG"
                                              in session.xprop(v, "_NET_WM_WINDOW_TYPE")], 3)
    session.fact("version_dialog", session.geometry(dialogs[0]) if dialogs else None)
    session.xdotool("key", "Escape")
    e2e.wait_until(lambda: len(session.visible_windows(program.pid)) == 1, 3)


def _usable_area(session):
    """The focused workspace's rectangle: the output less its bars."""
    workspaces = json.loads(session.swaymsg("-t", "get_workspaces") or "[]")
    rect = next((w["rect"] for w in workspaces if w.get("focused")), None)
    return [rect["x"], rect["y"], rect["width"], rect["height"]] if rect else None


def _strip_node(session):
    """How sway holds the strip: "floating_con" or "con" (tiled), and its rectangle."""
    def walk(node):
        if (node.get("window_properties") or {}).get("class") == "kestrin":
            yield node
        for child in node.get("nodes", []) + node.get("floating_nodes", []):
            yield from walk(child)
    tree = json.loads(session.swaymsg("-t", "get_tree") or "{}")
    node = next(walk(tree), None)
    return {"type": node["type"], "rect": node["rect"]} if node else None


class Checks(compositors.StripChecks):

    def test_rule_leaves_the_version_dialog_centred(self):
        dialog = self.fact("version_dialog")
        self.assertIsNotNone(dialog, "the version dialog did not open from the menu")
        x, y, w, h = dialog
        ax, ay, aw, ah = self.fact("work_area")
        # sway centres it in the usable area, up to its border of a pixel or two.
        self.assertLessEqual(abs(x + w / 2 - (ax + aw / 2)), 3, f"dialog {dialog}, usable area {[ax, ay, aw, ah]}")
        self.assertLessEqual(abs(y + h / 2 - (ay + ah / 2)), 3, f"dialog {dialog}, usable area {[ax, ay, aw, ah]}")

    def test_output_shows_the_whole_strip(self):
        share = compositors.output_shows(self, self.fact("strip"))
        self.assertGreater(share, 0.99, "share of the strip's pixels sway's output shows")
