#!/usr/bin/env python3
"""End-to-end: the real vombrel on a Wayland desktop. Weston 10 runs with its X11 backend in an
Xvfb of this test's own, with XWayland; the game plays there once through XWayland (what SDL
picks on such a desktop) and once natively (SDL_VIDEODRIVER=wayland). Each run: the scene
appears with a title bar above it, pixel for pixel as on a bare X server; START confines the
pointer, which stays on the scene through pushes against every edge and corner and shots at
them; STOP frees it; F11 shows the scene fullscreen as on X, and F11 again the window.

    wayland_test.py BUILD_DIR

Weston moves its pointer by the deltas of the X pointer it runs in, so a push is a long move of
the X pointer; where the pointer really is comes from weston's protocol log (its "proto" scope).
Weston's XWayland takes the first display number whose lock file is free, so the test runs in
a mount namespace of its own (unshare -m) with a private /tmp whose lower numbers' lock files
it takes: the X servers of the test stay off the displays other programs use. Needs root, or
unprivileged user namespaces (then it maps the user to root within them)."""

import os
import re
import subprocess
import sys
import time

W, H = 304, 213  # the scene at 1x, which it is on a 1024 x 768 screen
SCREEN_W, SCREEN_H = 1024, 768
START = (52, 190)  # the START/STOP label, scene pixels
FULL_K = 3  # the fullscreen factor on this screen
FULL = ((SCREEN_W - W * FULL_K) // 2, (SCREEN_H - H * FULL_K) // 2)  # its scene's corner
FIRST_DISPLAY = 150  # above the numbers the other test scripts pick
SCREEN = None  # the outer display, once it is up
CHILDREN = []  # the X server, weston and the games, ended with the test


def fail(why):
    print("FAIL: wayland: " + why, flush=True)
    if SCREEN is not None:
        # What the screen showed and the logs, kept in the build folder for whoever reads this.
        kept = f"{BUILD}/wayland-failure"
        subprocess.run(["rm", "-rf", kept])
        subprocess.run(["cp", "-r", WORK, kept])
        subprocess.run(["import", "-silent", "-window", "root", f"{kept}/screen.png"],
                       env=SCREEN.env)
        print(f"wayland: the screen and the logs are in {os.path.abspath(sys.argv[1])}/"
              "wayland-failure", flush=True)
    sys.exit(1)


def free_display(n):
    """The first display number from n on that nothing on this machine holds."""
    with open("/proc/net/unix") as f:
        abstract = f.read()
    while (os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}")
           or f"@/tmp/.X11-unix/X{n}\n" in abstract):
        n += 1
    return n


def wait_for(what, check, seconds=10):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        got = check()
        if got:
            return got
        time.sleep(0.1)
    fail("timed out waiting for " + (what() if callable(what) else what))


class Screen:
    """The outer X display: its pointer, keyboard and pixels."""

    def __init__(self, display):
        self.env = dict(os.environ, DISPLAY=display)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True,
                              capture_output=True, text=True).stdout

    def move(self, x, y):
        self.xdotool("mousemove", max(0, min(SCREEN_W - 1, x)), max(0, min(SCREEN_H - 1, y)))
        time.sleep(0.05)

    def click(self):
        self.xdotool("click", 1)
        time.sleep(0.15)

    def key(self, name):
        self.xdotool("key", name)

    def shot(self, window="root"):
        """The window's pixels as rows of RGB bytes."""
        raw = subprocess.run(["import", "-silent", "-window", str(window), "-depth", "8", "rgb:-"],
                             env=self.env, check=True, capture_output=True).stdout
        width = SCREEN_W if window == "root" else W
        return [raw[i:i + width * 3] for i in range(0, len(raw), width * 3)]

    def settled(self, window="root"):
        """The window's pixels once they stand still."""
        last = None
        while (rows := self.shot(window)) != last:
            last = rows
            time.sleep(0.2)
        return rows


def find_scene(rows, scene):
    """Where the scene lies on the screen pixel for pixel, or None."""
    for y in range(len(rows) - len(scene) + 1):
        x3 = rows[y].find(scene[0])
        while x3 >= 0:
            if x3 % 3 == 0 and all(rows[y + i][x3:x3 + W * 3] == scene[i]
                                   for i in range(1, len(scene))):
                return x3 // 3, y
            x3 = rows[y].find(scene[0], x3 + 1)
    return None


def crop(rows, x, y, w, h):
    return [r[x * 3:(x + w) * 3] for r in rows[y:y + h]]


def start_game(env, log):
    CHILDREN.append(subprocess.Popen([GAME], env=env, stdout=log, stderr=subprocess.STDOUT))
    return CHILDREN[-1]


def end_game(game):
    game.terminate()
    if game.wait(10) != 0:
        fail(f"the game ended with status {game.returncode}")


class ProtocolLog:
    """Weston's protocol log: what each client was sent and asked."""
    LINE = re.compile(r"\]\[proto\] client (\S+) (ev|rq) (\w+)@(\d+)\.(\w+)\((.*)\)$")

    def __init__(self, path):
        self.path = path

    def since(self, mark):
        with open(self.path) as f:
            f.seek(mark)
            return [m.groups() for m in map(self.LINE.search, f) if m]

    def mark(self):
        return os.path.getsize(self.path)


def confinement(log, mark):
    """The client whose pointer was last confined since `mark`, and its confined pointer."""
    def granted():
        lines = log.since(mark)
        asked = [(c, re.findall(r"@(\d+)", args)[0]) for c, _, i, _, n, args in lines
                 if i == "zwp_pointer_constraints_v1" and n == "confine_pointer"]
        if not asked:
            return None
        client, confined = asked[-1]
        return any(c == client and i == "zwp_confined_pointer_v1" and o == confined and
                   n == "confined" for c, _, i, o, n, _ in lines) and asked[-1]
    return wait_for("the pointer's confinement", granted)


def last_motion(log, mark, client):
    got = [tuple(float(v) for v in args.split(", ")[1:])
           for c, kind, iface, _, name, args in log.since(mark)
           if c == client and iface == "wl_pointer" and name == "motion"]
    return got[-1] if got else None


def play(screen, log, env, name, scene, full):
    """One game on the Wayland desktop: see the module's comment."""
    print(f"== wayland: {name} ==", flush=True)
    # Weston's pointer and the X one meet in the corners.
    screen.move(0, 0)
    screen.move(SCREEN_W - 1, SCREEN_H - 1)
    desktop = screen.shot()
    game_log = f"{WORK}/{name}.log"
    with open(game_log, "w") as out:
        game = start_game(env, out)

    def shown():
        if game.poll() is not None:
            fail(f"the game ended with status {game.returncode}: " + open(game_log).read())
        return find_scene(screen.shot(), scene)
    sx, sy = wait_for("the scene, as on X", shown)
    # A title bar over the scene: the 20 rows above it are no longer the desktop.
    wait_for("a title bar over the scene", lambda: sum(a != b for a, b in zip(
        b"".join(crop(screen.shot(), sx, sy - 20, W, 20)),
        b"".join(crop(desktop, sx, sy - 20, W, 20)))) > W * 20)
    # The game's window has the keyboard: F11 and back. Where the window comes back is weston's
    # choice; it is found again.
    screen.key("F11")
    wait_for("the scene fullscreen, as on X", lambda: crop(
        screen.shot(), FULL[0], FULL[1], W * FULL_K, H * FULL_K) == full)
    screen.key("F11")
    sx, sy = wait_for("the window back", lambda: find_scene(screen.shot(), scene))

    mark = log.mark()
    screen.move(sx + START[0], sy + START[1])
    screen.click()
    client, confined = confinement(log, mark)
    x, y = last_motion(log, mark, client)
    # Where the scene lies in the game's surface, which may hold a frame around it.
    ox, oy = round(x) - START[0], round(y) - START[1]
    if env.get("SDL_VIDEODRIVER") == "wayland":
        def pointer():
            x, y = last_motion(log, mark, client)
            return x - ox, y - oy
    else:
        # XWayland confines weston's pointer to the whole window, frame and all; the pointer of
        # its X server, which the game sees, is what keeps to the scene.
        xwayland = Screen(env["DISPLAY"])

        def pointer():  # its root is weston's screen
            where = re.findall(r"(\d+)", xwayland.xdotool("getmouselocation"))[:2]
            return int(where[0]) - sx, int(where[1]) - sy

    # Each push crosses the whole screen, so it reaches the scene's edge from anywhere on it;
    # a shot there must not let the pointer go.
    for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1), (-1, -1), (1, -1), (-1, 1), (1, 1)):
        screen.move(SCREEN_W // 2 - dx * SCREEN_W, SCREEN_H // 2 - dy * SCREEN_H)
        screen.move(SCREEN_W // 2 + dx * SCREEN_W, SCREEN_H // 2 + dy * SCREEN_H)
        screen.click()

        def at_edge():
            x, y = pointer()
            return abs(x - {-1: 0, 0: x, 1: W - 1}[dx]) <= 1 and \
                abs(y - {-1: 0, 0: y, 1: H - 1}[dy]) <= 1
        wait_for(lambda: f"the scene's edge after a push ({dx}, {dy}), not {pointer()}",
                 at_edge, 3)
    for c, kind, iface, oid, what, args in log.since(mark):
        if c == client and (iface == "wl_pointer" and what == "leave" or
                            oid == confined and what == "unconfined"):
            fail(f"the pointer got away from the game: {iface}@{oid}.{what}({args})")
        if c == client and what == "motion" and env.get("SDL_VIDEODRIVER") == "wayland":
            x, y = map(float, args.split(", ")[1:])
            if not (0 <= x - ox < W and 0 <= y - oy < H):
                fail(f"the pointer reached {x - ox}, {y - oy}, off the scene")

    # STOP: from the middle, where weston's pointer is known again, to the label.
    mark = log.mark()
    screen.move(SCREEN_W // 2, SCREEN_H // 2)
    x, y = wait_for("the pointer's motion", lambda: last_motion(log, mark, client))
    screen.move(SCREEN_W // 2 + ox + START[0] - round(x), SCREEN_H // 2 + oy + START[1] - round(y))
    screen.click()
    wait_for("STOP to free the pointer", lambda: any(
        c == client and i == "zwp_confined_pointer_v1" and o == confined and
        n in ("unconfined", "destroy") for c, _, i, o, n, _ in log.since(mark)))
    end_game(game)


def inside(build):
    """In the private mount namespace: the X servers, weston and both runs."""
    global BUILD, GAME, SCREEN, WORK
    # The build stays in reach through this process's handle on it, should it be under /tmp.
    BUILD = f"/proc/{os.getpid()}/fd/{os.open(build, os.O_RDONLY)}"
    GAME = f"{BUILD}/app/vombrel"
    WORK = "/tmp/vombrel-wayland"
    base = int(os.environ["VOMBREL_WAYLAND_DISPLAY"])
    subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=1777", "tmpfs", "/tmp"], check=True)
    os.makedirs("/tmp/.X11-unix", mode=0o1777)
    for n in range(base):
        with open(f"/tmp/.X{n}-lock", "w") as f:
            f.write(f"{os.getpid():10d}\n")
    os.makedirs(WORK)
    runtime = f"{WORK}/runtime"
    os.makedirs(runtime, mode=0o700)
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    env.update(XDG_RUNTIME_DIR=runtime)
    try:
        CHILDREN.append(subprocess.Popen(
            ["Xvfb", f":{base}", "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24", "-nolisten", "tcp"],
            stderr=subprocess.DEVNULL))
        wait_for("Xvfb", lambda: os.path.exists(f"/tmp/.X11-unix/X{base}"))
        screen = SCREEN = Screen(f":{base}")

        # The scene on a bare X server, windowed and fullscreen, for the Wayland runs to match.
        x_env = dict(env, DISPLAY=f":{base}", XDG_CONFIG_HOME=f"{WORK}/x")
        with open(f"{WORK}/x.log", "w") as out:
            game = start_game(x_env, out)
        window = wait_for("the game's window on X", lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--pid", str(game.pid)], env=screen.env,
            capture_output=True, text=True).stdout.split())[0]
        scene = screen.settled(window)
        screen.xdotool("windowfocus", "--sync", window)
        screen.key("F11")
        full = crop(screen.settled(), FULL[0], FULL[1], W * FULL_K, H * FULL_K)
        end_game(game)

        weston_log = f"{WORK}/weston.log"
        CHILDREN.append(subprocess.Popen(
            ["weston", "--backend=x11-backend.so", "--use-pixman", f"--width={SCREEN_W}",
             f"--height={SCREEN_H}", "--socket=wayland-vombrel", "--xwayland", "--idle-time=0",
             "--no-config", "--logger-scopes=log,proto", f"--log={weston_log}"],
            env=dict(env, DISPLAY=f":{base}"), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL))
        log = ProtocolLog(weston_log)
        xwayland = wait_for("weston's XWayland", lambda: re.search(
            r"xserver listening on display (:\d+)", open(weston_log).read()
            if os.path.exists(weston_log) else ""))[1]
        desktop = dict(env, DISPLAY=xwayland, WAYLAND_DISPLAY="wayland-vombrel")
        play(screen, log, dict(desktop, XDG_CONFIG_HOME=f"{WORK}/xwayland"), "XWayland", scene,
             full)
        play(screen, log, dict(desktop, XDG_CONFIG_HOME=f"{WORK}/native",
                               SDL_VIDEODRIVER="wayland"), "native", scene, full)
    finally:
        for child in reversed(CHILDREN):
            child.terminate()
            child.wait()


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: wayland_test.py BUILD_DIR")
    if "VOMBREL_WAYLAND_DISPLAY" in os.environ:
        inside(sys.argv[1])
        print("wayland: the game played through XWayland and natively", flush=True)
        return
    env = dict(os.environ, VOMBREL_WAYLAND_DISPLAY=str(free_display(FIRST_DISPLAY)))
    unshare = ["unshare", "--mount"] + ([] if os.getuid() == 0 else ["--map-root-user"])
    sys.exit(subprocess.run(unshare + [sys.executable, *sys.argv], env=env).returncode)


if __name__ == "__main__":
    main()
