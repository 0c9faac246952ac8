#!/usr/bin/env python3
"""End-to-end test of the real vombrel.exe under Wine on an X display (scripts/test-windows.sh
sets up Wine's prefix and the display): a wrong option is a message box and status 2, no game;
with --scale 2 the window comes up with its title and a 608 x 426 client area; a real click on
START shows STOP and the counter; the window dragged by its title bar during the game takes the
cursor's confinement along; a figure comes up; a click on it scores 10; F11 shows the scene
fullscreen, the cursor confined to it, and F11 again the window where it was; Ctrl+minus makes
it 1x and is remembered in %APPDATA%; the exit label ends the program with status 0.

    smoke_test.py path/to/vombrel.exe [--screenshots DIR]

With --screenshots it saves the window under Wine as DIR/screenshot-wine.png (the opening
scene) and DIR/screenshot-wine-hit.png (a hit)."""

import argparse
import glob
import os
import subprocess
import sys
import time

CLIENT_W, CLIENT_H = 304, 213
K = 2  # the window's factor, asked for on the command line
START = (52, 190)  # the START/STOP label, scene pixels
EXIT = (232, 189)  # "Ukončit program"
CAPTION = (16, 183, 89, 197)  # START's caption box: x0, y0, x1, y1
COUNTER = (56, 0, 96, 13)  # Label8, the appearance counter, empty before the first game
SCORE = (262, 16, 304, 29)  # Label1, the score, right-aligned at the window's edge
FIGURE_UP = (0, 74, 304, 80)  # rows that only a figure well above the fence covers
SKY = (127, 216, 255)
SETTINGS = os.environ.get("WINEPREFIX", os.path.expanduser("~/.wine")) + \
    "/drive_c/users/*/AppData/Roaming/Vombrel/settings.ini"


def run(*args):
    return subprocess.run(args, check=True, capture_output=True, text=True).stdout


def windows_named(title):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title],
                           capture_output=True, text=True)
    return found.stdout.split()


def fail(why):
    print("FAIL: " + why)
    sys.exit(1)


def geometry(xid):
    geo = dict(line.split("=") for line in run("xdotool", "getwindowgeometry", "--shell",
                                               xid).split())
    return tuple(int(geo[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


class Window:
    """The game's window, its scene at K times its pixels; or fullscreen, the scene centred."""

    def __init__(self, xid, fullscreen=False, k=K):
        x, y, w, h = geometry(xid)
        self.frame, self.k = (x, y, w, h), k
        if fullscreen:
            self.left, self.top = x + (w - CLIENT_W * k) // 2, y + (h - CLIENT_H * k) // 2
        else:
            # Wine draws the frame itself (no window manager): a border of equal width on the
            # left, right and bottom, the caption bar above the client area.
            border = (w - CLIENT_W * k) // 2
            self.left, self.top = x + border, y + h - CLIENT_H * k - border

    def shot(self):
        ppm = subprocess.run(["import", "-window", "root", "-crop",
                              f"{CLIENT_W * self.k}x{CLIENT_H * self.k}+{self.left}+{self.top}",
                              "-depth", "8", "ppm:-"],
                             check=True, capture_output=True).stdout
        return Picture(ppm, self.k)

    def shot_if(self, test):
        """The client area now, if it passes the test."""
        picture = self.shot()
        return picture if test(picture) else None

    def save(self, path):
        x, y, w, h = self.frame
        run("import", "-window", "root", "-crop", f"{w}x{h}+{x}+{y}", "+repage", path)

    def drag_by(self, dx, dy):
        """Carries the window by its title bar, in steps as a hand would."""
        x, y = self.frame[0] + self.frame[2] // 2, self.frame[1] + (self.top - self.frame[1]) // 2
        steps = ["mousemove", str(x), str(y), "sleep", "0.1", "mousedown", "1"]
        for i in range(1, 4):
            steps += ["sleep", "0.1", "mousemove", str(x + dx * i // 3), str(y + dy * i // 3)]
        run("xdotool", *steps, "sleep", "0.2", "mouseup", "1", "sleep", "0.2")

    def click(self, x, y):
        run("xdotool", "mousemove", str(self.left + x * self.k + self.k // 2),
            str(self.top + y * self.k + self.k // 2), "sleep", "0.05", "click", "1")


class Picture:
    """A shot of the scene at factor k, read at the scene's own pixels."""

    def __init__(self, ppm, k):
        # "P6", "width height", "255", then the pixels, 3 bytes each
        _, size, _, self.pixels = ppm.split(b"\n", 3)
        self.w, self.h = (int(v) for v in size.split())
        self.k = k

    def at(self, x, y):
        i = (y * self.k * self.w + x * self.k) * 3
        return tuple(self.pixels[i:i + 3])

    def count(self, box, test):
        x0, y0, x1, y1 = box
        return sum(1 for y in range(y0, y1) for x in range(x0, x1) if test(self.at(x, y)))

    def columns(self, box, test):
        x0, y0, x1, y1 = box
        return [x for x in range(x0, x1) if any(test(self.at(x, y)) for y in range(y0, y1))]


def red(p):
    return p[0] > 180 and p[1] < 90 and p[2] < 90


def cyan(p):
    return p[2] > 200 and p[0] < 100


def not_sky(p):
    return sum(abs(a - b) for a, b in zip(p, SKY)) > 60


def pointer_after_move_to(x, y):
    out = run("xdotool", "mousemove", str(x), str(y), "sleep", "0.05", "getmouselocation")
    fields = dict(f.split(":") for f in out.split())
    return int(fields["x"]), int(fields["y"])


def expect_confined_to(box, when):
    """The pointer sent far up-left and far down-right stops at the box's corners (given a
    moment, as Wine hands the new rectangle to the X server after the window has changed)."""
    x, y, w, h = box
    for far, corner in (((0, 0), (x, y)), ((5000, 5000), (x + w - 1, y + h - 1))):
        if not poll(3, lambda: pointer_after_move_to(*far) == corner):
            fail(f"{when} the pointer sent to {far} went to {pointer_after_move_to(*far)}, "
                 f"not to {corner}")


def wrong_option_says_so(exe):
    """A bad value is a message box with what was wrong, status 2, and no game window."""
    bad = subprocess.Popen(["wine", exe, "--scale", "0"], stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        box = poll(60, lambda: windows_named("^Vombrel$"))
        if not box:
            fail("no message box for --scale 0")
        if windows_named("^Vombrel !!!!$"):
            fail("the game's window opened despite --scale 0")
        def enter_closes_it():  # once the box has the focus
            run("xdotool", "key", "Return")
            return bad.poll() is not None

        if not poll(10, enter_closes_it):
            fail("the message box for --scale 0 did not go with Enter")
        if bad.returncode != 2:
            fail(f"--scale 0 ended with status {bad.returncode}, not 2")
    finally:
        if bad.poll() is None:
            bad.kill()


def poll(seconds, check):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        result = check()
        if result:
            return result
        time.sleep(0.05)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--screenshots")
    args = parser.parse_args()

    wrong_option_says_so(args.exe)
    # The prefix is the test's own: what an earlier run remembered goes. --window as well, for
    # a prefix shared with a player.
    for old in glob.glob(SETTINGS):
        os.remove(old)
    game = subprocess.Popen(["wine", args.exe, "--window", "--scale", str(K)],
                            stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        # The window is measured anew until the scene shows in it: Wine may still be placing
        # and sizing it when it first appears.
        window = None

        def scene_shown():
            nonlocal window
            if game.poll() is not None:
                fail("the program ended before its window came")
            found = windows_named("^Vombrel !!!!$")
            if not found:
                return None
            try:
                window = Window(found[-1])
                return window.shot_if(lambda s: s.count(CAPTION, cyan) > 20)
            except subprocess.CalledProcessError:  # gone again meanwhile
                return None

        opening = poll(60, scene_shown)
        if not opening:
            fail("no window titled \"Vombrel !!!!\" showing the scene within 60 s")
        if window.frame[2:] != (CLIENT_W * K + 6, CLIENT_H * K + 25):
            fail(f"the window at --scale {K} is {window.frame[2:]}, not a "
                 f"{CLIENT_W * K} x {CLIENT_H * K} client area in Wine's frame")
        if opening.count(COUNTER, red) != 0:
            fail("the counter shows something before the first game")
        if args.screenshots:
            window.save(args.screenshots + "/screenshot-wine.png")

        window.click(*START)
        started = poll(5, lambda: window.shot_if(lambda s: s.count(COUNTER, red) > 15))
        if not started:
            fail("no counter after a click on START")
        changed = sum(1 for y in range(CAPTION[1], CAPTION[3])
                      for x in range(CAPTION[0], CAPTION[2])
                      if opening.at(x, y) != started.at(x, y))
        if changed < 30:
            fail("START did not turn into STOP")
        score_before = started.count(SCORE, red)

        # The confinement goes with the window: the pointer reaches the corners of the window at
        # its new place, and no further.
        xid = windows_named("^Vombrel !!!!$")[-1]
        window.drag_by(300, 300)
        window = Window(xid)
        if window.frame[:2] != (300, 300):
            fail(f"the window dragged by 300, 300 stands at {window.frame[:2]}")
        expect_confined_to(window.frame, "after the drag")

        for attempt in range(6):
            rising = poll(10, lambda: window.shot().columns(FIGURE_UP, not_sky))
            if not rising:
                fail("no figure came up within 10 s")
            window.click((rising[0] + rising[-1]) // 2, 92)
            hit = poll(1.5, lambda: window.shot_if(
                lambda s: s.count(SCORE, red) > score_before + 10))
            if hit:
                break
            print(f"the click {attempt + 1} missed the figure; waiting for the next one")
            time.sleep(1.5)
        else:
            fail("no click on a figure scored")
        if args.screenshots:
            window.save(args.screenshots + "/screenshot-wine-hit.png")

        # Fullscreen on the 1024 x 768 screen: the scene at 3x in the middle, the cursor held
        # to it; F11 again gives back the window where it stood.
        windowed = window.frame
        run("xdotool", "key", "F11")
        full = poll(5, lambda: geometry(xid)[2:] == (1024, 768))
        if not full:
            fail("F11 did not make the window cover the screen")
        window = Window(xid, fullscreen=True, k=3)
        expect_confined_to((window.left, window.top, CLIENT_W * 3, CLIENT_H * 3),
                           "fullscreen during a game")
        run("xdotool", "key", "F11")
        if not poll(5, lambda: geometry(xid) == windowed):
            fail(f"F11 again gave {geometry(xid)}, not the window as it was, {windowed}")
        window = Window(xid)
        expect_confined_to(window.frame, "back in the window")

        # Ctrl+minus: the window one factor smaller, the cursor held to it, and the choice
        # remembered in the player's settings file.
        run("xdotool", "key", "ctrl+minus")
        if not poll(5, lambda: geometry(xid)[2:] == (CLIENT_W + 6, CLIENT_H + 25)):
            fail(f"Ctrl+minus left the window at {geometry(xid)[2:]}")
        window = Window(xid, k=1)
        expect_confined_to(window.frame, "after Ctrl+minus")
        remembered = glob.glob(SETTINGS)
        if not remembered or "scale=1\n" not in open(remembered[0]).read():
            fail(f"no scale=1 in the settings file {remembered}")

        window.click(*EXIT)
        try:
            status = game.wait(20)
        except subprocess.TimeoutExpired:
            fail("the exit label did not end the program")
        if status != 0:
            fail(f"the program ended with status {status}")
        print("a wrong option, the window at 2x, START, the drag, a hit, fullscreen and back, "
              "Ctrl+minus and the exit work under Wine")
    finally:
        if game.poll() is None:
            game.kill()


if __name__ == "__main__":
    main()
