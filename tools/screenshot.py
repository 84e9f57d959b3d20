#!/usr/bin/python3
"""Takes the README's pictures on a private 1280x720 Xvfb desktop, with the end-to-end
tests' session:

- strip: the idle strip, without a window manager (docs/strip.png);
- burst: a hit, on a desktop with a window manager, two clocks, a pair of eyes and a logo:
  it plays like a person (presses the title, clicks the panel, finds the flying plate in
  screenshots and presses it) and photographs the desktop while the burst's particles fly.
  The picture is the 400x200 piece of the desktop above the hit, enlarged three times pixel
  for pixel, since the particles are 2x2 pixels (docs/burst.png).

Usage: tools/screenshot.py strip|burst [KESTRIN [OUTPUT]]   (default KESTRIN: build/kestrin)
Needs what the end-to-end tests need (tools/install-deps.sh test installs it).
"""

import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
sys.dont_write_bytecode = True  # no bytecode files in the source tree

import e2e  # noqa: E402  (found through the path above)
import play  # noqa: E402
from PIL import Image  # noqa: E402

W, H = 1280, 720
CROP_W, CROP_H = 400, 200
ENLARGE = 3
PLATES = 6       # plates thrown before giving up on a hit
LOWEST_SHOT = 24  # shots only at a plate in the strip's upper part, so the particles fly out
                  # over the windows above it
AFTER = 0.4      # seconds after the first particle showed: they have spread out and are still light
MIN_SHOWN = 8    # particles that must still be shown then
BACKGROUND = "#3b6e8f"
# A row of windows just above the strip, where the particles fly.
CLIENTS = [
    ("xclock", "-geometry", "150x150+90+500", "-update", "1"),
    ("xeyes", "-geometry", "170x100+390+545"),
    ("xlogo", "-geometry", "110x110+700+525"),
    ("xclock", "-geometry", "130x130+1000+515", "-update", "1"),
]


def strip(session):
    session.start_desktop(W, H)
    _, window = session.start_strip()
    return session.painted_picture(window), "the idle strip"


def first_particle_time(player):
    """When the first particle showed after a shot, or None when none did within 0.6 s."""
    return time.monotonic() if e2e.wait_until(lambda: player.particles()[0], 0.6, 0.01) else None


def burst(session):
    """Plays until a hit and returns the enlarged piece of the desktop above it."""
    e2e.require("xsetroot", *{c[0] for c in CLIENTS})
    session.start_desktop(W, H, "openbox")
    session.run("xsetroot", "-solid", BACKGROUND)
    for command in CLIENTS:
        session.start_client(*command)
    shown = lambda: len(session.run("xdotool", "search", "--onlyvisible", "--class", "xclock|xeyes|xlogo").split())
    if not e2e.wait_until(lambda: shown() >= len(CLIENTS), 5):
        raise RuntimeError("the clocks, eyes and logo did not all show within 5 s")
    # With a home of its own, so no score file of the user's is touched.
    player = play.Player(session, env={"HOME": str(session.program_folder)})
    player.start_game()
    hit = play.hit_a_plate(player, PLATES, lambda at: first_particle_time(player), [], LOWEST_SHOT)
    if hit is None:
        raise RuntimeError(f"no plate hit in {PLATES} plates")
    _, _, at, first_seen = hit
    time.sleep(max(0.0, first_seen + AFTER - time.monotonic()))
    shot = session.grab()
    particles = len(player.particles()[0])
    if particles < MIN_SHOWN:
        raise RuntimeError(f"only {particles} particles were left")
    left = min(max(at[0] - CROP_W // 2, 0), W - CROP_W)
    piece = shot.crop((left, H - CROP_H, left + CROP_W, H))
    return piece.resize((CROP_W * ENLARGE, CROP_H * ENLARGE), Image.Resampling.NEAREST), f"{particles} particles shown"


def main(argv):
    subjects = {"strip": strip, "burst": burst}
    if len(argv) < 2 or argv[1] not in subjects:
        print(__doc__, file=sys.stderr)
        return 2
    kestrin = Path(argv[2] if len(argv) > 2 else ROOT / "build" / "kestrin").resolve()
    out = Path(argv[3] if len(argv) > 3 else ROOT / "docs" / f"{argv[1]}.png").resolve()
    if not kestrin.is_file():
        print(f"screenshot: {kestrin} not found; build first (make build)", file=sys.stderr)
        return 1
    with tempfile.TemporaryDirectory() as scratch:
        session = e2e.Session(scratch, kestrin)
        try:
            session.check_tools()
            picture, what = subjects[argv[1]](session)
            out.parent.mkdir(parents=True, exist_ok=True)
            picture.save(out)  # Pillow writes no time stamps: the same picture gives the same bytes
        except (e2e.Skip, RuntimeError) as error:
            print(f"screenshot: {error}", file=sys.stderr)
            return 1
        finally:
            session.close()
    print(f"screenshot: {what}; wrote {out} ({picture.width}x{picture.height})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
