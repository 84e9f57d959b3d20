"""A panel for the end-to-end tests: a dock window along the bottom of a rectangle of the
screen that reserves its height with a strut, as desktop panels do. It stays until killed.

    dock_window.py LEFT TOP WIDTH HEIGHT   (pixels; DISPLAY names the server)
"""

import signal
import sys

from Xlib import Xatom, display


def main(argv):
    left, top, width, height = (int(v) for v in argv[1:5])
    d = display.Display()
    screen = d.screen()
    window = screen.root.create_window(left, top, width, height, 0, screen.root_depth,
                                       background_pixel=screen.black_pixel)
    atom = d.intern_atom
    window.change_property(atom("_NET_WM_WINDOW_TYPE"), Xatom.ATOM, 32, [atom("_NET_WM_WINDOW_TYPE_DOCK")])
    # left, right, top, bottom, then the start and end of each edge's span.
    bottom = screen.height_in_pixels - top
    strut = [0, 0, 0, bottom, 0, 0, 0, 0, 0, 0, left, left + width - 1]
    window.change_property(atom("_NET_WM_STRUT_PARTIAL"), Xatom.CARDINAL, 32, strut)
    window.change_property(atom("_NET_WM_STRUT"), Xatom.CARDINAL, 32, strut[:4])
    window.map()
    d.flush()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    while True:
        d.next_event()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
