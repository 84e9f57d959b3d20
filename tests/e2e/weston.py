"""The strip on weston's desktop shell through XWayland, with its panel at the top, at the
bottom or none. weston publishes no work area to X clients, so the program can only stand
on the screen's bottom: with the panel at the bottom, the panel covers the strip's lower
part (a known limit, checked so that a weston that lifts it is noticed). No input can be
sent: the headless backend has no seat, and XWayland crashes on synthetic input there.

Parameters: panel=top|bottom|none, size=WxH.
"""

import compositors

SESSION = compositors.Session


def record(session, params):
    width, height = (int(v) for v in params.get("size", "1280x720").split("x"))
    panel = params.get("panel", "top")
    session.fact("panel", panel)
    session.start_weston(width, height, panel)
    session.fact("work_area", compositors.x_work_area(session))
    # The headless backend has no seat, and its XWayland crashes on synthetic input.
    compositors.record_strip(session, input_works=False)


class Checks(compositors.StripChecks):

    def test_output_shows_the_whole_strip(self):
        share = compositors.output_shows(self, self.fact("strip"))
        if self.fact("panel") == "bottom":
            self.assertLess(share, 0.9, "weston's bottom panel no longer covers the strip: "
                                        "update the README's compatibility table")
        else:
            self.assertGreater(share, 0.99, "share of the strip's pixels weston's output shows")
