#!/usr/bin/env python3
"""End-to-end test of the real vombrel.exe under Wine on an X display (scripts/test-windows.sh
sets up Wine's prefix and the display): a wrong option is a message box and status 2, no game;
with --scale 2 the window comes up with its title and a 608 x 426 client area; a real click on
START shows STOP and the counter; a lone Alt leaves the counter counting and the figure moving,
and so do a hand holding the window by its title bar and the window menu left open; the window
dragged during the game takes the cursor's confinement along; a figure comes up; a click on it
scores 10; F11 and Alt+Enter show the scene fullscreen, the cursor confined to it, and again the
window at its size and place, toggle after toggle; Ctrl+minus makes it 1x and is remembered in
%APPDATA%; the exit label ends the program with status 0. Started from a Windows console, the
program answers --version and a wrong option there; a second game started there says which line
of its settings file it skipped, and, closed while its title bar is held, ends with status 0 and
leaves no process behind.

With --managed the display has a window manager that frames the window (Wine's defaults) and
another window, titled "other", to take the focus: the game is played there as a player with a
desktop would. The focus goes to the other window and back with the pointer left far outside,
and the cursor is held on the window at once; the window, moved to the screen's corner, comes
back there from fullscreen, toggle after toggle; at the largest factor its frame is on the
screen; a smaller size keeps its centre. A press on the title bar lets go of the cursor, and the
first motion over the scene holds it again.

    smoke_test.py path/to/vombrel.exe [--managed] [--screenshots DIR]

With --screenshots it saves the window under Wine as DIR/screenshot-wine.png (the opening
scene) and DIR/screenshot-wine-hit.png (a hit)."""

import argparse
import glob
import os
import re
import shlex
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
SKY_BAND = (0, 30, 304, 114)  # where the figure rises and the bird flies
FRAME = (3, 22, 3, 3)  # Wine's frame of a window, as it counts it: left, caption, right, bottom
MANAGED = False  # a window manager frames the windows (--managed)
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
    """Where the window is on the screen; under a window manager, its client area inside the
    frame (xdotool counts the frame's offset twice there)."""
    info = dict(line.strip().split(": ", 1) for line in run("xwininfo", "-id", xid).splitlines()
                if ": " in line)
    return tuple(int(info[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                        "Width", "Height"))


def screen_size():
    return tuple(int(v) for v in run("xdotool", "getdisplaygeometry").split())


class Window:
    """The game's window, its scene at k times its pixels.
    `frame` is the window as Windows counts it, frame and caption included: what the cursor is
    confined to in a window."""

    def __init__(self, xid, k=K):
        x, y, w, h = geometry(xid)
        self.k = k
        left, top, right, bottom = FRAME
        if MANAGED:
            # The X window is the client area; Wine counts its frame over the window manager's.
            self.left, self.top = x, y
            self.frame = (x - left, y - top, w + left + right, h + top + bottom)
        else:
            self.frame = (x, y, w, h)  # Wine draws the frame itself
            self.left, self.top = x + left, y + top

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

    def caption(self):
        """The middle of the title bar as Wine counts it."""
        return self.frame[0] + self.frame[2] // 2, self.frame[1] + (self.top - self.frame[1]) // 2

    def drag_by(self, dx, dy, halfway):
        """Carries the window by its title bar, in steps as a hand would, and calls halfway()
        while the hand holds it there."""
        x, y = self.caption()
        steps = ["mousemove", str(x), str(y), "sleep", "0.1", "mousedown", "1"]
        for i in range(1, 4):
            steps += ["sleep", "0.1", "mousemove", str(x + dx * i // 3), str(y + dy * i // 3)]
            if i == 2:
                run("xdotool", *steps)
                halfway()
                steps = []
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

    def crop(self, box):
        x0, y0, x1, y1 = box
        return tuple(self.at(x, y) for y in range(y0, y1) for x in range(x0, x1))

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


def keeps_going(window, when, counter=True):
    """For 6 s the counter counts down and the figure moves, to the end: a game that stood
    still after a good start would fail. The window menu covers the counter: then the figure
    alone."""
    counters, skies, late = set(), set(), set()
    end = time.monotonic() + 6
    while time.monotonic() < end:
        shot = window.shot()
        counters.add(shot.crop(COUNTER))
        skies.add(shot.crop(SKY_BAND))
        if end - time.monotonic() < 3:
            late.add((shot.crop(COUNTER), shot.crop(SKY_BAND)))
        time.sleep(0.05)
    if (counter and len(counters) < 2) or len(skies) < 3 or len(late) < 2:
        fail(f"{when} the counter showed {len(counters)} and the sky {len(skies)} pictures in "
             f"6 s, {len(late)} scenes in the last 3 s")


def fullscreen_and_back(xid, keys):
    """Each key shows the scene fullscreen and the window again, at its size and place every
    time, even a moment later, and painting the game as it goes on. The first time, fullscreen
    holds the cursor to the scene and not to the black border around it."""
    windowed, screen = geometry(xid), screen_size()
    k = min(screen[0] // CLIENT_W, screen[1] // CLIENT_H)
    for i, key in enumerate(keys):
        # As a player sees it: the key is pressed once the window manager has given the game
        # the keyboard back after the last change.
        if not poll(3, lambda: run("xdotool", "getwindowfocus").strip() == xid):
            fail(f"the window did not have the keyboard before {key} (toggle {i + 1})")
        run("xdotool", "key", key)
        if not poll(5, lambda: geometry(xid) == (0, 0) + screen):
            fail(f"{key} did not make the window cover the screen (toggle {i + 1})")
        if i == 0:
            # The box from the screen, which the window was just seen to cover: a window manager
            # may still be moving its frame, and a second look can catch it half way.
            w, h = CLIENT_W * k, CLIENT_H * k
            expect_confined_to(((screen[0] - w) // 2, (screen[1] - h) // 2, w, h),
                               "fullscreen during a game")
        run("xdotool", "key", key)
        if not poll(5, lambda: geometry(xid) == windowed) or \
                poll(0.5, lambda: geometry(xid) != windowed):
            fail(f"{key} again gave {geometry(xid)}, not the window as it was, {windowed} "
                 f"(toggle {i + 1})")
    window = Window(xid)
    expect_confined_to(window.frame, "back in the window")
    keeps_going(window, "back in the window")
    return window


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


def open_game(exe, settings=None):
    """The game with --scale 2, once its window shows the scene (Wine may still be placing and
    sizing the window when it first appears, so it is measured anew until then). With the text
    of a settings file, the game starts from a Windows console (cmd.exe) and its messages are
    read from there (game.stdout)."""
    # The prefix is the test's own: what an earlier run remembered goes. --window as well, for
    # a prefix shared with a player.
    for old in glob.glob(SETTINGS):
        os.remove(old)
    command = ["wine", exe]
    if settings is not None:
        folder = glob.glob(os.path.dirname(os.path.dirname(SETTINGS)))[0] + "/Vombrel"
        os.makedirs(folder, exist_ok=True)
        with open(folder + "/settings.ini", "w") as file:
            file.write(settings)
    args = ["--window", "--scale", str(K)]
    game = subprocess.Popen(command + args if settings is None else in_console(exe, *args),
                            stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL if settings is None else subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
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
        game.kill()
        fail("no window titled \"Vombrel !!!!\" showing the scene within 60 s")
    return game, window, opening


def start_game(window, opening):
    window.click(*START)
    started = poll(5, lambda: window.shot_if(lambda s: s.count(COUNTER, red) > 15))
    if not started:
        fail("no counter after a click on START")
    changed = sum(1 for y in range(CAPTION[1], CAPTION[3])
                  for x in range(CAPTION[0], CAPTION[2])
                  if opening.at(x, y) != started.at(x, y))
    if changed < 30:
        fail("START did not turn into STOP")
    run("xdotool", "key", "alt")
    keeps_going(window, "after a lone Alt")
    return started


def exit_game(game, window):
    window.click(*EXIT)
    try:
        status = game.wait(20)
    except subprocess.TimeoutExpired:
        fail("the exit label did not end the program")
    if status != 0:
        fail(f"the program ended with status {status}")


def without_window_manager(game, window, opening, screenshots):
    if window.frame[2:] != (CLIENT_W * K + 6, CLIENT_H * K + 25):
        fail(f"the window at --scale {K} is {window.frame[2:]}, not a "
             f"{CLIENT_W * K} x {CLIENT_H * K} client area in Wine's frame")
    if opening.count(COUNTER, red) != 0:
        fail("the counter shows something before the first game")
    if screenshots:
        window.save(screenshots + "/screenshot-wine.png")
    score_before = start_game(window, opening).count(SCORE, red)

    # The game goes on while the window is held by its title bar, and the confinement goes with
    # the window: the pointer reaches the corners of the window at its new place, and no further.
    xid = windows_named("^Vombrel !!!!$")[-1]
    window.drag_by(300, 300, lambda: keeps_going(Window(xid), "while the title bar is held"))
    window = Window(xid)
    if window.frame[:2] != (300, 300):
        fail(f"the window dragged by 300, 300 stands at {window.frame[:2]}")
    expect_confined_to(window.frame, "after the drag")
    run("xdotool", "key", "alt+space")
    keeps_going(window, "with the window menu open", counter=False)
    run("xdotool", "key", "Escape")

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
    if screenshots:
        window.save(screenshots + "/screenshot-wine-hit.png")

    # Fullscreen on the 1024 x 768 screen: the scene at 3x in the middle, the cursor held to it.
    window = fullscreen_and_back(xid, ["F11", "alt+Return"])

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
    exit_game(game, window)
    print("a wrong option, the window at 2x, START, a lone Alt, the drag, the window menu, a hit, "
          "fullscreen and back, Ctrl+minus and the exit work under Wine")


def in_console(exe, *args):
    """The program started from cmd.exe in a terminal, as a player types it: the command that
    runs it there, its output to be read with console_text()."""
    command = ["wine", "cmd", "/c", run("winepath", "-w", exe).strip(), *args]
    return ["script", "-qec", " ".join(shlex.quote(word) for word in command), "/dev/null"]


def console_text(output):
    """What the terminal shows, without Wine's cursor moves and spaces, which it draws as moves."""
    return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]|\s", "", output)


def console_messages(exe):
    """Started from a Windows console, the program answers there, as a console program would;
    from a pipe, into the pipe."""
    for run_it in (in_console(exe, "--version"),
                   ["wine", "cmd", "/c", run("winepath", "-w", exe).strip(), "--version"]):
        said = subprocess.run(run_it, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=60)
        if said.returncode != 0 or "vombrel1." not in console_text(said.stdout):
            fail(f"--version from {run_it[0]} said {said.stdout!r}, status {said.returncode}")
    wrong = subprocess.run(in_console(exe, "--sclae", "2"), stdin=subprocess.DEVNULL,
                           capture_output=True, text=True, timeout=60)
    if wrong.returncode != 2 or console_text(
            "vombrel: unknown option \"--sclae\" Try 'vombrel --help' for more information."
    ) not in console_text(wrong.stdout):
        fail(f"--sclae from a console said {wrong.stdout!r}, status {wrong.returncode}")


def closed_while_carried(exe):
    """A game closed while a hand holds its title bar: the system's loop that carries the window
    ends with the program, which exits with status 0 and leaves no process behind. Started from
    a console, it has said there which line of its settings it skipped."""
    game, window, opening = open_game(exe, settings="[vombrel]\nloud\n")
    window.click(*START)
    if not poll(5, lambda: window.shot_if(lambda s: s.count(COUNTER, red) > 15)):
        fail("no counter after a click on START")
    x, y = window.caption()
    run("xdotool", "mousemove", str(x), str(y), "sleep", "0.1", "mousedown", "1",
        "sleep", "0.1", "mousemove", str(x + 40), str(y + 30), "sleep", "0.3")
    try:
        subprocess.run(["wine", "taskkill", "/im", os.path.basename(exe)],
                       capture_output=True, timeout=60)
        status = game.wait(20)
    except subprocess.TimeoutExpired:
        fail("a close while the title bar was held did not end the program")
    finally:
        run("xdotool", "mouseup", "1")
    if status != 0:
        fail(f"closed while its title bar was held, the program ended with status {status}")
    def alive(pid):
        try:
            with open(f"/proc/{pid}/status") as status:
                return "\nState:\tZ" not in status.read()  # a zombie is only waiting for Wine
        except OSError:
            return False

    def left_behind():
        """Live processes of the program, other than this test and its parent."""
        named = subprocess.run(["pgrep", "-f", os.path.basename(exe)], capture_output=True,
                               text=True).stdout.split()
        return [pid for pid in named if int(pid) not in (os.getpid(), os.getppid()) and alive(pid)]

    if not poll(10, lambda: not left_behind()):
        fail(f"processes {left_behind()} of the program are left after it closed")
    said = game.stdout.read()
    if console_text('settings.ini:2: skipping "loud"') not in console_text(said):
        fail(f"the console heard {said!r}, not the settings line the game skipped")
    print("closed while its title bar was held, the program exits with status 0 and is gone")


def frame_extents(xid):
    """What the window manager draws around the window: left, right, top, bottom."""
    out = run("xprop", "-id", xid, "_NET_FRAME_EXTENTS")
    return tuple(int(v) for v in out.split("=")[1].split(","))


def with_window_manager(game, window, opening):
    xid = windows_named("^Vombrel !!!!$")[-1]
    if geometry(xid)[2:] != (CLIENT_W * K, CLIENT_H * K):
        fail(f"the window at --scale {K} has a {geometry(xid)[2:]} client area")
    start_game(window, opening)
    sw, sh = screen_size()

    # The focus goes to another window: the cursor is free and left far outside the game. The
    # focus back, the cursor is on the game's window at once, and held there.
    run("xdotool", "windowactivate", "--sync", windows_named("^other$")[0])
    if not poll(3, lambda: pointer_after_move_to(sw - 5, sh - 5) == (sw - 5, sh - 5)):
        fail("the cursor stayed confined while another window had the focus")
    run("xdotool", "windowactivate", "--sync", xid)
    x, y, w, h = window.frame

    def on_window():
        at = pointer_after_move_to(sw - 5, sh - 5)
        return at == (x + w - 1, y + h - 1)

    if not poll(3, on_window):
        fail(f"back from the other window, the pointer went to {pointer_after_move_to(sw, sh)}")
    expect_confined_to(window.frame, "back from the other window")

    # A press on the title bar lets go of the cursor for a move the window manager may not make;
    # the first motion over the scene holds it again.
    x, y = window.caption()
    run("xdotool", "mousemove", str(x), str(y), "sleep", "0.1", "mousedown", "1", "sleep", "0.1",
        "mousemove", str(x + 30), str(y + 20), "sleep", "0.3", "mouseup", "1", "sleep", "0.3")
    window = Window(xid)
    run("xdotool", "mousemove", str(window.left + 100), str(window.top + 100), "sleep", "0.1",
        "mousemove", str(window.left + 110), str(window.top + 105))
    expect_confined_to(window.frame, "after a press on the title bar")

    # The window carried to the screen's bottom right-hand corner comes back there from
    # fullscreen, toggle after toggle.
    left, right, top, bottom = frame_extents(xid)
    run("xdotool", "windowmove", "--sync", xid, str(sw - w - right), str(sh - h - bottom))
    fullscreen_and_back(xid, ["F11", "alt+Return", "F11", "alt+Return", "F11", "alt+Return"])

    # At the largest factor (4x on a 1080-line screen: 5x would put the frame off it) the title
    # bar and the whole scene are on the screen; one smaller, the window keeps its centre.
    for _ in range(4):
        run("xdotool", "key", "ctrl+plus")
    if not poll(5, lambda: geometry(xid)[2:] == (CLIENT_W * 4, CLIENT_H * 4)):
        fail(f"Ctrl+plus made the window's client area {geometry(xid)[2:]}, not 4x")
    x, y, w, h = geometry(xid)
    if x - left < 0 or y - top < 0 or x + w + right > sw or y + h + bottom > sh:
        fail(f"at the largest factor the framed window {x - left, y - top, w, h} leaves the "
             f"screen")
    centre = (x + w // 2, y + h // 2)
    run("xdotool", "key", "ctrl+minus")
    if not poll(5, lambda: geometry(xid)[2:] == (CLIENT_W * 3, CLIENT_H * 3)):
        fail(f"Ctrl+minus made the window's client area {geometry(xid)[2:]}, not 3x")

    # openbox may move the frame a moment after it has sized it.
    def centre_now():
        x, y, w, h = geometry(xid)
        return x + w // 2, y + h // 2

    if not poll(3, lambda: max(abs(a - b) for a, b in zip(centre_now(), centre)) <= 1):
        fail(f"Ctrl+minus moved the window's centre from {centre} to {centre_now()}")
    exit_game(game, Window(xid, k=3))
    print("under a window manager: START, a lone Alt, the focus away and back, fullscreen and "
          "back in the corner, the frame at the largest factor and the centre kept work")


def main():
    global MANAGED
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--managed", action="store_true")
    parser.add_argument("--screenshots")
    args = parser.parse_args()
    MANAGED = args.managed

    wrong_option_says_so(args.exe)
    game, window, opening = open_game(args.exe)
    try:
        if MANAGED:
            with_window_manager(game, window, opening)
        else:
            without_window_manager(game, window, opening, args.screenshots)
            console_messages(args.exe)
            closed_while_carried(args.exe)
    finally:
        if game.poll() is None:
            game.kill()


if __name__ == "__main__":
    main()
