#!/usr/bin/env python3
"""End-to-end: the real vombrel on a Wayland desktop. Weston 10 runs with its X11 backend in an
Xvfb of this test's own, with XWayland; the game plays there once through XWayland (what SDL
picks on such a desktop) and once natively (SDL_VIDEODRIVER=wayland). Each run: the scene
appears with a title bar above it, pixel for pixel as on a bare X server; START confines the
pointer, which stays on the scene through pushes against every edge and corner and shots at
them; STOP frees it; F11 shows the scene fullscreen as on X, and F11 again the window.

Then sway 1.7 natively, headless (wlroots' headless backend) on an output at scale 2, driven by a
virtual pointer and keyboard of this test's own: the window opens floating at a whole factor,
drawn at the output's pixels pixel for pixel as the game draws at 2x on X (labels included, not
pixel-doubled); tiled, it draws the scene at the largest factor that fits the tile, and floated
again at its own size, with nothing of the old picture outside its frame; START confines the
pointer through pushes and shots; F11 there and back and STOP leave no file of the game's in
its runtime folder; opened fullscreen, it draws the scene there. sway refuses to run as root:
as root, the test runs it as nobody.

    wayland_test.py BUILD_DIR    (VOMBREL_WAYLAND_ONLY=sway: the sway leg alone)

Weston moves its pointer by the deltas of the X pointer it runs in, so a push is a long move of
the X pointer; where the pointer really is comes from weston's protocol log (its "proto" scope).
Weston's XWayland takes the first display number whose lock file is free, so the test runs in
a mount namespace of its own (unshare -m) with a private /tmp whose lower numbers' lock files
it takes: the X servers of the test stay off the displays other programs use. Needs root, or
unprivileged user namespaces (then it maps the user to root within them)."""

import json
import os
import re
import socket
import struct
import subprocess
import sys
import tempfile
import time

W, H = 304, 213  # the scene at 1x, which it is on a 1024 x 768 screen
SCREEN_W, SCREEN_H = 1024, 768
START = (52, 190)  # the START/STOP label, scene pixels
FULL_K = 3  # the fullscreen factor on this screen
FULL = ((SCREEN_W - W * FULL_K) // 2, (SCREEN_H - H * FULL_K) // 2)  # its scene's corner
FIRST_DISPLAY = 150  # above the numbers the other test scripts pick
SCREEN = None  # the outer display, once it is up
WORK = None  # the folder of the logs and screenshots
CHILDREN = []  # the X server, weston and the games, ended with the test


def fail(why):
    print("FAIL: wayland: " + why, flush=True)
    if WORK is not None:
        # What the screen showed and the logs, kept in the build folder for whoever reads this.
        kept = f"{BUILD}/wayland-failure"
        subprocess.run(["rm", "-rf", kept])
        subprocess.run(["cp", "-r", WORK, kept])
        if SCREEN is not None:
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

    def shot(self, window="root", width=W):
        """The window's pixels as rows of RGB bytes."""
        raw = subprocess.run(["import", "-silent", "-window", str(window), "-depth", "8", "rgb:-"],
                             env=self.env, check=True, capture_output=True).stdout
        width = SCREEN_W if window == "root" else width
        return [raw[i:i + width * 3] for i in range(0, len(raw), width * 3)]

    def settled(self, window="root", width=W):
        """The window's pixels once they stand still."""
        last = None
        while (rows := self.shot(window, width)) != last:
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


def start_game(env, log, *args):
    CHILDREN.append(subprocess.Popen([GAME, *args], env=env, stdout=log,
                                     stderr=subprocess.STDOUT))
    return CHILDREN[-1]


def on_x(screen, env, name, *args):
    """The game on the bare X server: the game and its window."""
    with open(f"{WORK}/{name}.log", "w") as out:
        game = start_game(dict(env, DISPLAY=screen.env["DISPLAY"],
                               XDG_CONFIG_HOME=f"{WORK}/{name}"), out, *args)
    return game, wait_for("the game's window on X", lambda: subprocess.run(
        ["xdotool", "search", "--onlyvisible", "--pid", str(game.pid)], env=screen.env,
        capture_output=True, text=True).stdout.split())[0]


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
        game, window = on_x(screen, env, "x")
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


class VirtualInput:
    """A pointer and a keyboard of the test's own on a wlroots compositor's seat (its
    virtual-pointer and virtual-keyboard protocols), spoken on the socket directly: each message
    is the object's number, its size and the request's number, then 32-bit arguments."""
    F11 = 87  # the key's evdev number; the keymap's keycodes are 8 more
    KEYMAP = (b'xkb_keymap { xkb_keycodes "k" { minimum = 8; maximum = 255; <FK11> = 95; }; '
              b'xkb_types "t" { include "complete" }; '
              b'xkb_compatibility "c" { include "complete" }; '
              b'xkb_symbols "s" { key <FK11> { [ F11 ] }; }; };\0')

    def __init__(self, path):
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(path)
        self.ids = 1
        self.unread = b""
        registry = self.new_id()
        self.send(1, 1, registry)  # wl_display.get_registry
        names = {}
        for obj, opcode, body in self.roundtrip():
            if obj == registry and opcode == 0:  # global(name, interface, version)
                length = struct.unpack_from("<I", body, 4)[0]
                names[body[8:7 + length].decode()] = struct.unpack_from("<I", body)[0]

        def bind(interface):
            self.send(registry, 0, names[interface], interface, 1, self.new_id())
            return self.ids
        seat = bind("wl_seat")
        pointers, keyboards = (bind("zwlr_virtual_pointer_manager_v1"),
                               bind("zwp_virtual_keyboard_manager_v1"))
        self.pointer = self.new_id()
        self.send(pointers, 0, seat, self.pointer)
        self.keyboard = self.new_id()
        self.send(keyboards, 0, seat, self.keyboard)
        keymap = os.memfd_create("keymap")
        os.write(keymap, self.KEYMAP)
        self.send(self.keyboard, 0, 1, len(self.KEYMAP), fds=[keymap])  # xkb v1
        os.close(keymap)
        list(self.roundtrip())

    def new_id(self):
        self.ids += 1
        return self.ids

    def send(self, obj, opcode, *args, fds=()):
        body = b""
        for a in args:
            if isinstance(a, str):
                text = a.encode() + b"\0"
                body += struct.pack("<I", len(text)) + text + b"\0" * (-len(text) % 4)
            else:
                body += struct.pack("<i" if a < 0 else "<I", a)
        message = struct.pack("<II", obj, (8 + len(body)) << 16 | opcode) + body
        socket.send_fds(self.socket, [message], list(fds)) if fds else \
            self.socket.sendall(message)

    def roundtrip(self):
        """The events until the compositor has answered everything sent so far."""
        done = self.new_id()
        self.send(1, 0, done)  # wl_display.sync
        while True:
            while len(self.unread) < 8 or len(self.unread) < self.unread[6] | self.unread[7] << 8:
                self.unread += self.socket.recv(65536) or fail("the compositor hung up")
            obj, size_opcode = struct.unpack_from("<II", self.unread)
            size, opcode = size_opcode >> 16, size_opcode & 0xffff
            body, self.unread = self.unread[8:size], self.unread[size:]
            if obj == 1 and opcode == 0:
                fail(f"the compositor refused the test's input: {body[12:].decode(errors='replace')}")
            if obj == done:
                return
            yield obj, opcode, body

    def now(self):
        return int(time.monotonic() * 1000) & 0xffffffff

    def pointer_do(self, opcode, *args):
        self.send(self.pointer, opcode, self.now(), *args)
        self.send(self.pointer, 4)  # frame
        list(self.roundtrip())
        time.sleep(0.05)

    def move_to(self, x, y, width, height):
        self.pointer_do(1, x, y, width, height)

    def push(self, dx, dy):
        self.pointer_do(0, round(dx * 256), round(dy * 256))  # wl_fixed_t

    def click(self):
        for state in (1, 0):
            self.pointer_do(2, 0x110, state)  # BTN_LEFT
        time.sleep(0.1)

    def key(self, code):
        for state in (1, 0):
            self.send(self.keyboard, 1, self.now(), code, state)
        list(self.roundtrip())


class GameLog(ProtocolLog):
    """What the game and sway said to each other, as the game's Wayland library logs it
    (WAYLAND_DEBUG): the requests it sent ("-> ") and the events it got, a line each."""
    LINE = re.compile(r"^\[ *[\d.]+\] +(-> )?(\w+)@(\d+)\.(\w+)\((.*)\)$")

    def events(self, mark=0, sent=False):
        with open(self.path, errors="replace") as f:
            f.seek(mark)
            return [m.groups()[1:] for m in map(self.LINE.match, f)
                    if m and bool(m[1]) == sent]

    def pointer(self, mark=0):
        """Where the pointer was last seen on the game's window, in its units."""
        moved = [args for iface, _, name, args in self.events(mark)
                 if iface == "wl_pointer" and name in ("motion", "enter")]
        return tuple(float(v) for v in moved[-1].split(", ")[-2:]) if moved else None


def sway_leg(build):
    """sway headless at scale 2: see the module's comment."""
    global BUILD, GAME, WORK
    BUILD, GAME = build, f"{build}/app/vombrel"
    WORK = tempfile.mkdtemp(prefix="vombrel-sway-")
    OUT_W, OUT_H, SCALE = 2560, 1600, 2  # the output in pixels: 1280 x 800 of the desktop's units
    print("== wayland: sway, natively at scale 2 ==", flush=True)
    env = {k: v for k, v in os.environ.items()
           if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER")}
    try:
        # The scene at 2x on a bare X server, for the one at scale 2 to match.
        display = free_display(FIRST_DISPLAY)
        CHILDREN.append(subprocess.Popen(
            ["Xvfb", f":{display}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            stderr=subprocess.DEVNULL))
        wait_for("Xvfb", lambda: os.path.exists(f"/tmp/.X11-unix/X{display}"))
        screen = Screen(f":{display}")
        game, window = on_x(screen, env, "x2", "--scale", "2")
        scene = screen.settled(window, W * 2)
        end_game(game)
        CHILDREN.remove(game)

        # sway's own runtime folder, and the game's: what the game leaves is the game's.
        sway_runtime, runtime = f"{WORK}/sway-runtime", f"{WORK}/runtime"
        os.makedirs(sway_runtime, mode=0o700)
        os.makedirs(runtime, mode=0o700)
        with open(f"{sway_runtime}/config", "w") as f:
            # Without a seat of its configuration, sway 1.7 confines no pointer.
            f.write(f"xwayland disable\noutput HEADLESS-1 resolution {OUT_W}x{OUT_H} "
                    f"scale {SCALE}\nseat * pointer_constraint enable\n")
        as_user = []
        if os.getuid() == 0:
            os.chmod(WORK, 0o755)
            for path in (sway_runtime, f"{sway_runtime}/config"):
                os.chown(path, 65534, 65534)
            as_user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
        CHILDREN.append(subprocess.Popen(
            [*as_user, "sway", "-c", f"{sway_runtime}/config"], cwd="/",
            env=dict(env, XDG_RUNTIME_DIR=sway_runtime, WLR_BACKENDS="headless",
                     WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman"),
            stdout=open(f"{WORK}/sway.log", "w"), stderr=subprocess.STDOUT))
        wayland = wait_for("sway", lambda: [f"{sway_runtime}/{n}" for n in os.listdir(sway_runtime)
                                            if re.fullmatch(r"wayland-\d+", n)])[0]
        ipc = wait_for("sway's IPC", lambda: [f"{sway_runtime}/{n}"
                                              for n in os.listdir(sway_runtime)
                                              if n.startswith("sway-ipc.")])[0]
        # The keyboard is on the seat before the game is, as a real one would be.
        seat = VirtualInput(wayland)

        def swaymsg(*args):
            return subprocess.run(["swaymsg", "-s", ipc, *args], check=True,
                                  capture_output=True, text=True).stdout

        def node():
            """The game's window as sway has it: its kind and content rectangle."""
            def walk(n):
                if n.get("pid") == game.pid:
                    r, w = n["rect"], n["window_rect"]
                    return n["type"], n["fullscreen_mode"], (r["x"] + w["x"], r["y"] + w["y"],
                                                             w["width"], w["height"])
                for child in n.get("nodes", []) + n.get("floating_nodes", []):
                    if found := walk(child):
                        return found
            return walk(json.loads(swaymsg("-t", "get_tree", "-r")))

        def shot():
            ppm = subprocess.run(["grim", "-t", "ppm", "-"], check=True, capture_output=True,
                                 env=dict(env, WAYLAND_DISPLAY=wayland)).stdout
            data = ppm[len(ppm) - OUT_W * OUT_H * 3:]
            return [data[i:i + OUT_W * 3] for i in range(0, len(data), OUT_W * 3)]

        def drawn(rect):
            """The window's content in the screenshot's pixels."""
            x, y, w, h = rect
            return crop(shot(), x * SCALE, y * SCALE, w * SCALE, h * SCALE)

        desktop = shot()
        game_log = f"{WORK}/native.log"
        native = dict(env, XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY=wayland,
                      SDL_VIDEODRIVER="wayland", WAYLAND_DEBUG="client",
                      # the sound system's own client makes a folder there
                      SDL_AUDIODRIVER="disk", SDL_DISKAUDIOFILE=f"{WORK}/sound",
                      XDG_CONFIG_HOME=f"{WORK}/native")
        with open(game_log, "w") as out:
            game = start_game(native, out)
        log = GameLog(game_log)
        kind, _, rect = wait_for("the game's window", node)
        if kind != "floating_con" or rect[2] % W or rect[3] % H or rect[2] // W != rect[3] // H:
            fail(f"the window opened {kind} at {rect[2]} x {rect[3]}, not floating at a whole "
                 "factor")
        # Pixel for pixel as at 2x on X: the labels at the output's real pixels.
        wait_for("the scene at the output's pixels, as at 2x on X",
                 lambda: drawn(node()[2]) == scene)

        def centred(what):
            """Waits for the scene at the largest factor that fits the window, on black."""
            _, _, (_, _, w, h) = node()
            k = min(w // W, h // H)
            sx, sy = (w - W * k) // 2 * SCALE, (h - H * k) // 2 * SCALE
            wait_for(f"the scene at {k}x {what}", lambda: (
                (rows := drawn(node()[2]))[sy][sx * 3:sx * 3 + 3] == scene[0][:3] and
                rows[sy - 1][sx * 3:sx * 3 + 3] == rows[0][:3] == b"\0\0\0"), 5)

        # Tiled, the scene at the largest factor that fits the tile, on black.
        swaymsg(f"[pid={game.pid}] floating disable")
        wait_for("the window tiled", lambda: node()[0] == "con")
        centred("in the tile")
        # Floated again, at its own size, and nothing of the tiled picture outside the frame.
        swaymsg(f"[pid={game.pid}] floating enable")
        _, _, rect = wait_for("the window floating", lambda: node()[0] == "floating_con" and
                              node())
        wait_for("the scene at the floating window's size", lambda: drawn(node()[2]) == scene)
        x, y, w, h = node()[2]
        around = crop(shot(), (x + w) * SCALE + 8, y * SCALE, 200, h * SCALE)
        if around != crop(desktop, (x + w) * SCALE + 8, y * SCALE, 200, h * SCALE):
            fail("the tiled picture still shows beside the floating window")

        # F11 and back: fullscreen, and the window at its size again.
        seat.key(VirtualInput.F11)
        wait_for("fullscreen", lambda: node()[1] == 1)
        seat.key(VirtualInput.F11)
        wait_for("the window back", lambda: node()[1] == 0 and drawn(node()[2]) == scene)
        x, y, w, h = node()[2]

        # START, then pushes against each edge and corner and a shot at each: the pointer stays
        # on the scene and is never let go.
        mark = log.mark()
        seat.move_to(x + START[0], y + START[1], OUT_W // SCALE, OUT_H // SCALE)
        seat.click()
        wait_for("the pointer's confinement", lambda: any(
            i == "zwp_confined_pointer_v1" and n == "confined" for i, _, n, _ in log.events(mark)))
        for dx, dy in ((-1, 0), (1, 0), (0, -1), (0, 1), (-1, -1), (1, -1), (-1, 1), (1, 1)):
            seat.push(dx * 3000, dy * 3000)
            seat.click()

            def at_edge():
                x, y = log.pointer(mark)
                return 0 <= x < W and 0 <= y < H and \
                    abs(x - {-1: 0, 0: x, 1: W - 1}[dx]) <= 1 and \
                    abs(y - {-1: 0, 0: y, 1: H - 1}[dy]) <= 1
            wait_for(lambda: f"the scene's edge after a push ({dx}, {dy}), not "
                     f"{log.pointer(mark)}", at_edge, 3)
        for iface, _, name, args in log.events(mark):
            if iface == "wl_pointer" and name == "leave" or name == "unconfined":
                fail(f"the pointer got away from the game: {iface}.{name}({args})")

        # STOP frees the pointer; the game leaves nothing in its runtime folder.
        px, py = log.pointer(mark)
        seat.push(START[0] - px, START[1] - py)
        mark = log.mark()
        seat.click()
        wait_for("STOP to free the pointer", lambda: any(
            i == "zwp_confined_pointer_v1" and n == "destroy"
            for i, _, n, _ in log.events(mark, sent=True)))
        left = os.listdir(runtime)
        end_game(game)
        left += os.listdir(runtime)
        if left:
            fail(f"the game left {sorted(set(left))} in its runtime folder")

        # Opened fullscreen, as a player who left it so finds it next time.
        with open(f"{WORK}/fullscreen.log", "w") as out:
            game = start_game(native, out, "--fullscreen")
        wait_for("the window fullscreen", lambda: (node() or [0, 0])[1] == 1)
        centred("fullscreen")
        end_game(game)
    finally:
        for child in reversed(CHILDREN):
            child.terminate()
            child.wait()
        subprocess.run(["rm", "-rf", WORK])


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: wayland_test.py BUILD_DIR")
    if "VOMBREL_WAYLAND_DISPLAY" in os.environ:
        inside(sys.argv[1])
        print("wayland: the game played through XWayland and natively", flush=True)
        return
    env = dict(os.environ, VOMBREL_WAYLAND_DISPLAY=str(free_display(FIRST_DISPLAY)))
    unshare = ["unshare", "--mount"] + ([] if os.getuid() == 0 else ["--map-root-user"])
    if os.environ.get("VOMBREL_WAYLAND_ONLY") != "sway":
        status = subprocess.run(unshare + [sys.executable, *sys.argv], env=env).returncode
        if status != 0:
            sys.exit(status)
    sway_leg(os.path.abspath(sys.argv[1]))
    print("wayland: the game played natively under sway", flush=True)


if __name__ == "__main__":
    main()
