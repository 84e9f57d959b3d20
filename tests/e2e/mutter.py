"""The strip on mutter through XWayland: mutter alone, headless, with one virtual monitor.
mutter publishes a work area to X clients; without GNOME Shell there is no panel in it.

Parameters: size=WxH.
"""

import compositors

SESSION = compositors.Session


def record(session, params):
    width, height = (int(v) for v in params.get("size", "1280x720").split("x"))
    session.start_mutter(width, height)
    session.fact("work_area", compositors.x_work_area(session))
    session.fact("net_workarea", session.xprop_root("_NET_WORKAREA"))
    compositors.record_strip(session)


class Checks(compositors.StripChecks):

    def test_mutter_publishes_the_work_area(self):
        self.assertIn("_NET_WORKAREA(CARDINAL) = ", self.fact("net_workarea"))
