"""The strip on KDE's kwin through XWayland: kwin_wayland alone on a virtual framebuffer.
Without Plasma Shell there is no panel, and kwin publishes no work area to X clients.

Parameters: size=WxH.
"""

import compositors

SESSION = compositors.Session


def record(session, params):
    width, height = (int(v) for v in params.get("size", "1280x720").split("x"))
    session.start_kwin(width, height)
    session.fact("work_area", compositors.x_work_area(session))
    compositors.record_strip(session)


class Checks(compositors.StripChecks):
    pass
