#!/usr/bin/python3
"""vyr-updater --simulate as a desktop meets it: under Xvfb with a window manager (openbox),
driven over X as a user and the window manager would (keys by XTest, the close button as
WM_DELETE_WINDOW, "are you alive" as _NET_WM_PING); or on a headless Wayland compositor
(sway: keys by its virtual keyboard through wtype, the close button as its "kill").

usage: bench/window-under-wm.py BUILD_DIR doors     the close button, SIGTERM, a lost display
                                                    and where the prompts are (a test)
       bench/window-under-wm.py BUILD_DIR wayland-doors   the same on Wayland
       bench/window-under-wm.py BUILD_DIR measure   ping replies through the transfer, and the
                                                    firmware's lateness with a 0.5 s X stall
       bench/window-under-wm.py BUILD_DIR figures   first window, memory and CPU against a
                                                    minimal Qt program and the terminal
Needs Xvfb, openbox and python3-xlib (Debian's /usr/bin/python3); on Wayland sway and wtype.
"""
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from Xlib import X, XK, display, error, protocol
from Xlib.ext import xtest

TITLE = 'VYR Firmware Updater'


class Desktop:
    """An X server of its own with openbox on it."""

    kind = 'X'

    def __init__(self):
        number = next(n for n in range(140, 300) if not os.path.exists(f'/tmp/.X11-unix/X{n}')
                      and not os.path.exists(f'/tmp/.X{n}-lock'))
        self.name = f':{number}'
        self.server = subprocess.Popen(['Xvfb', self.name, '-screen', '0', '800x600x24',
                                        '-nolisten', 'tcp'], stderr=subprocess.DEVNULL)
        self.runtime = tempfile.mkdtemp()
        self.env = dict(os.environ, DISPLAY=self.name, LANGUAGE='en', LC_ALL='C.UTF-8',
                        XDG_RUNTIME_DIR=self.runtime)
        self.env.pop('QT_QPA_PLATFORM', None)
        for _ in range(100):
            if os.path.exists(f'/tmp/.X11-unix/X{number}'):
                break
            time.sleep(0.05)
        self.wm = subprocess.Popen(['openbox'], env=self.env, stderr=subprocess.DEVNULL)
        self.x = display.Display(self.name)
        self.root = self.x.screen().root
        # Qt answers a ping to the root window for whoever selects its StructureNotify.
        self.root.change_attributes(event_mask=X.StructureNotifyMask)
        self.atom = lambda name: self.x.intern_atom(name)

    def close(self):
        self.wm.terminate()
        self.server.terminate()  # so that it removes its socket and lock
        self.wm.wait()
        self.server.wait()

    def clients(self):
        listed = self.root.get_full_property(self.atom('_NET_CLIENT_LIST'), X.AnyPropertyType)
        return [self.x.create_resource_object('window', w) for w in (listed.value if listed else [])]

    def windows(self, transient):
        """The updater's windows open now: the message boxes, or the main window."""
        found = []
        for window in self.clients():
            try:  # a window may go while it is looked at
                if (window.get_wm_transient_for() is not None) == transient and \
                        window.get_wm_name() == TITLE:
                    found.append(window)
            except error.XError:
                pass
        return found

    def main_window(self):
        return next(iter(self.windows(False)), None)

    def boxes(self):
        return {w.id: w for w in self.windows(True)}

    def rect(self, window):
        """Where a window is on the screen: x, y, width, height."""
        place = window.translate_coords(self.root, 0, 0)
        size = window.get_geometry()
        return -place.x, -place.y, size.width, size.height

    def application(self, window, entry):
        """Whether the window names itself as its desktop entry says, with the icon: docks
        show both."""
        wm_class = window.get_wm_class()
        icon = window.get_full_property(self.atom('_NET_WM_ICON'), X.AnyPropertyType)
        return f'StartupWMClass={wm_class[1]}\n' in open(entry).read() and icon is not None, wm_class

    def close_window(self, window):
        self.send_protocol(window, 'WM_DELETE_WINDOW')

    def lose(self):
        self.server.kill()

    def press_return(self, window):
        window.set_input_focus(X.RevertToParent, X.CurrentTime)
        code = self.x.keysym_to_keycode(XK.string_to_keysym('Return'))
        xtest.fake_input(self.x, X.KeyPress, code)
        xtest.fake_input(self.x, X.KeyRelease, code)
        self.x.sync()

    def send_protocol(self, window, name, *data):
        event = protocol.event.ClientMessage(
            window=window, client_type=self.atom('WM_PROTOCOLS'),
            data=(32, [self.atom(name), X.CurrentTime, *data] + [0] * (3 - len(data))))
        window.send_event(event, event_mask=0)
        self.x.sync()

    def ping(self, window, timeout=2.0):
        """Seconds until the window answers _NET_WM_PING, or None."""
        while self.x.pending_events():
            self.x.next_event()
        start = time.monotonic()
        self.send_protocol(window, '_NET_WM_PING', window.id)
        while time.monotonic() - start < timeout:
            while self.x.pending_events():
                event = self.x.next_event()
                if (event.type == X.ClientMessage and
                        event.data[1][0] == self.atom('_NET_WM_PING')):
                    return time.monotonic() - start
            time.sleep(0.001)
        return None


class WaylandDesktop:
    """A headless Wayland compositor of its own: sway, which takes keys from a virtual
    keyboard (wtype), closes a window as its close button does ("kill") and says where every
    window is. sway refuses to run as root, so root runs it as nobody."""

    kind = 'Wayland'

    def __init__(self):
        self.runtime = tempfile.mkdtemp()
        config = os.path.join(self.runtime, 'config')
        with open(config, 'w') as f:
            f.write('output HEADLESS-1 resolution 800x600\n')
        as_user = []
        if os.getuid() == 0:
            os.chown(self.runtime, 65534, 65534)
            as_user = ['setpriv', '--reuid=65534', '--regid=65534', '--clear-groups']
        server_env = dict(os.environ, XDG_RUNTIME_DIR=self.runtime, HOME=self.runtime,
                          WLR_BACKENDS='headless', WLR_LIBINPUT_NO_DEVICES='1',
                          WLR_RENDERER='pixman')
        server_env.pop('DISPLAY', None)
        server_env.pop('WAYLAND_DISPLAY', None)
        self.server = subprocess.Popen([*as_user, 'sway', '-c', config], env=server_env,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(200):
            sockets = [p for p in glob.glob(os.path.join(self.runtime, 'wayland-*'))
                       if not p.endswith('.lock')]
            control = glob.glob(os.path.join(self.runtime, 'sway-ipc.*.sock'))
            if sockets and control:
                break
            time.sleep(0.05)
        else:
            raise SystemExit('sway did not start')
        # The updater's own runtime folder: Qt wants it to be the user's.
        self.env = dict(os.environ, WAYLAND_DISPLAY=sockets[0], XDG_SESSION_TYPE='wayland',
                        XDG_RUNTIME_DIR=tempfile.mkdtemp(), LANGUAGE='en', LC_ALL='C.UTF-8')
        for name in ('DISPLAY', 'QT_QPA_PLATFORM'):
            self.env.pop(name, None)
        self.control = dict(self.env, SWAYSOCK=control[0])

    def close(self):
        self.server.terminate()
        self.server.wait()
        shutil.rmtree(self.runtime, ignore_errors=True)
        shutil.rmtree(self.env['XDG_RUNTIME_DIR'], ignore_errors=True)

    def command(self, *words):
        return subprocess.run(['swaymsg', *words], env=self.control, capture_output=True,
                              text=True).stdout

    def windows(self):
        """The updater's windows open now, each with whether it floats (a dialog does)."""
        found = []

        def walk(node, floating):
            if node.get('name') == TITLE and node.get('pid'):
                found.append((node, floating))
            for child in node.get('nodes', []):
                walk(child, floating)
            for child in node.get('floating_nodes', []):
                walk(child, True)
        try:
            walk(json.loads(self.command('-t', 'get_tree')), False)
        except json.JSONDecodeError:
            pass  # sway is gone
        return found

    def main_window(self):
        return next((node for node, floating in self.windows() if not floating), None)

    def boxes(self):
        return {node['id']: node for node, floating in self.windows() if floating}

    def rect(self, window):
        now = next((n for n, _ in self.windows() if n['id'] == window['id']), window)
        r = now['rect']
        return r['x'], r['y'], r['width'], r['height']

    def application(self, window, entry):
        """Whether the window's app_id names its desktop entry: a Wayland dock finds the
        name and the icon there."""
        app_id = window.get('app_id')
        return os.path.basename(entry) == f'{app_id}.desktop', app_id

    def close_window(self, window):
        self.command(f'[con_id={window["id"]}]', 'kill')

    def lose(self):
        self.server.kill()

    def press_return(self, window):
        """Return on a box, until it goes. Each wtype brings a new virtual keyboard, and a key
        sent before the client has bound it is lost: a busy client gets longer each time, and
        time to take a key that only came late before the next is sent."""
        for delay in ('200', '500', '1000', '2000'):
            if window['id'] not in self.boxes():
                return
            self.command(f'[con_id={window["id"]}]', 'focus')
            subprocess.run(['wtype', '-s', delay, '-k', 'Return', '-s', '200'], env=self.env,
                           check=True)
            deadline = time.monotonic() + 3.0
            while time.monotonic() < deadline:
                if window['id'] not in self.boxes():
                    return
                time.sleep(0.05)
        raise SystemExit(f'Return did not reach the box {window["id"]}')


class Updater:
    """One vyr-updater --simulate (or inCommand) on the desktop, with a status file of its
    own; how long its first window took to appear, and its resource use once it ended."""

    def __init__(self, build, desktop, command=None):
        self.folder = tempfile.mkdtemp()
        self.desktop = desktop
        self.output = tempfile.TemporaryFile(mode='w+')
        self.errors = tempfile.TemporaryFile(mode='w+')
        started = time.monotonic()
        self.process = subprocess.Popen(
            command or [os.path.join(build, 'bin/vyr-updater'), '--simulate', '--prefs',
                        os.path.join(self.folder, 'status.plist')],
            env=desktop.env, stdout=self.output, stderr=self.errors, text=True)
        self.answered = set()
        self.misplaced = []
        self.usage = None
        self.window = self.until(lambda: desktop.main_window() or
                                 next(iter(desktop.boxes().values()), None), 'a window')
        self.first_window = time.monotonic() - started

    def until(self, condition, what, timeout=20.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = condition()
            if found:
                return found
            if self.process.poll() is not None:
                raise SystemExit(f'vyr-updater ended ({self.process.returncode}) waiting for {what}')
            time.sleep(0.002)
        raise SystemExit(f'no {what} after {timeout} s')

    def next_box(self):
        """The next message box not seen before."""
        def fresh():
            return next(((i, w) for i, w in self.desktop.boxes().items()
                         if i not in self.answered), None)
        key, box = self.until(fresh, 'prompt')
        self.answered.add(key)
        return box

    def answer(self, count):
        for _ in range(count):
            box = self.next_box()
            time.sleep(0.3)
            self.check_placed(box)
            self.desktop.press_return(box)

    def check_placed(self, box):
        """A prompt shows over the main window, where the user looks."""
        main = self.desktop.main_window()
        if main is None:
            return
        x, y, w, h = self.desktop.rect(main)
        bx, by, bw, bh = self.desktop.rect(box)
        if not (x <= bx and y <= by and bx + bw <= x + w and by + bh <= y + h):
            self.misplaced.append((bx, by, bw, bh))

    def wait_waiting(self):
        self.next_box()  # "Waiting...": the device answers within a second or two

    def end(self, timeout=20.0):
        """Exit status, stdout, stderr and what is left in the status folder."""
        deadline = time.monotonic() + timeout
        while True:
            pid, status, self.usage = os.wait4(self.process.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() > deadline:
                self.process.kill()
                raise SystemExit('vyr-updater did not end')
            time.sleep(0.05)
        self.process.returncode = os.waitstatus_to_exitcode(status)
        self.output.seek(0)
        self.errors.seek(0)
        return (self.process.returncode, self.output.read(), self.errors.read(),
                os.listdir(self.folder))


def check(condition, what):
    print(('ok: ' if condition else 'FAILED: ') + what)
    return condition


def without_display(build):
    """No display: one line and 69; a usage error or --help needs none."""
    good = True
    program = os.path.join(build, 'bin/vyr-updater')
    env = {k: v for k, v in os.environ.items() if k not in ('DISPLAY', 'WAYLAND_DISPLAY',
                                                            'QT_QPA_PLATFORM')}
    env.update(LANGUAGE='en', LC_ALL='C.UTF-8')
    cases = ((['--simulate'], {}, 69), (['--bogus'], {}, 64), (['--help'], {}, 0),
             (['--simulate'], {'WAYLAND_DISPLAY': 'no-compositor-here'}, 69))
    for arguments, extra, expected in cases:
        done = subprocess.run([program, *arguments], env={**env, **extra}, capture_output=True,
                              text=True)
        lines = done.stderr.strip().splitlines()
        good &= check(done.returncode == expected and (expected != 69 or len(lines) == 1),
                      f'no display {extra}, {" ".join(arguments)}: exit {done.returncode} '
                      f'({expected}) {done.stderr.strip()}')
    return good


def doors(build, desktop_kind=Desktop):
    good = without_display(build) if desktop_kind is Desktop else True
    desktop = desktop_kind()
    where = desktop.kind
    try:
        updater = Updater(build, desktop)
        named, name = desktop.application(
            updater.window, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                         '../data/org.vyr.firmware-updater.desktop'))
        good &= check(named, f'{where}: the window names its desktop entry ({name})')

        # The close button while a prompt is open backs out, and the lock goes.
        updater.wait_waiting()
        time.sleep(0.3)
        desktop.close_window(updater.window)
        status, _, err, left = updater.end()
        good &= check(status == 2, f'{where}: close button at a prompt: exit {status} (2) '
                      f'{err.strip()}')
        good &= check('status.plist.lock' not in left, f'{where}: no lock file left: {left}')

        # During the transfer the close button asks and SIGTERM warns; the transfer goes on.
        # Every prompt shows over the window, which stays where it was to the end.
        updater = Updater(build, desktop)
        updater.wait_waiting()
        at_start = desktop.rect(desktop.main_window())
        updater.answer(2)  # "Ready", the update-mode prompt
        time.sleep(3)
        desktop.close_window(updater.window)
        updater.answer(1)  # the close question: "Go on" is the default
        updater.process.send_signal(signal.SIGTERM)
        updater.answer(1)  # "Complete"
        time.sleep(0.5)
        at_end = desktop.rect(updater.window)
        desktop.close_window(updater.window)
        status, out, err, left = updater.end()
        good &= check(status == 0 and 'identical to the image: yes' in out,
                      f'{where}: close asked, SIGTERM warned, transfer complete: exit {status} '
                      f'(0)\n{out}{err}')
        good &= check(not updater.misplaced and len(updater.answered) > 2,
                      f'{where}: {len(updater.answered)} prompts over the window '
                      f'{at_start}: {updater.misplaced or "all"}')
        good &= check(at_start == at_end, f'{where}: the window stays put: {at_start} {at_end}')

        # The display lost mid-transfer: Qt ends the process, but only after the transfer,
        # and a completed transfer is no failure. Last: it ends this desktop.
        updater = Updater(build, desktop)
        updater.wait_waiting()
        updater.answer(2)
        time.sleep(3)
        desktop.lose()
        status, _, err, left = updater.end()
        saved = open(os.path.join(updater.folder, 'status.plist')).read()
        good &= check(status == 0 and '<integer>2</integer>' in saved and left == ['status.plist'],
                      f'{where}: display lost mid-transfer: exit {status} (0), status 2, no '
                      f'lock: {left} {err.strip()}')
    finally:
        desktop.close()
    return good


def lateness(out):
    line = next((l for l in out.splitlines() if l.startswith('lateness')), '')
    return line.split(': ', 1)[-1]


def measure(build):
    desktop = Desktop()
    try:
        for stall in (False, True):
            updater = Updater(build, desktop)
            updater.wait_waiting()
            updater.answer(2)
            start = time.monotonic()
            replies = []
            stalled = False
            while time.monotonic() - start < 9:
                if stall and not stalled and time.monotonic() - start > 4:
                    desktop.server.send_signal(signal.SIGSTOP)
                    time.sleep(0.5)
                    desktop.server.send_signal(signal.SIGCONT)
                    stalled = True
                    time.sleep(0.3)
                    continue
                replies.append((time.monotonic() - start, desktop.ping(updater.window)))
                time.sleep(0.2)
            updater.answer(1)
            time.sleep(0.5)
            desktop.send_protocol(updater.window, 'WM_DELETE_WINDOW')
            status, out, _, _ = updater.end()
            answered = [r for _, r in replies if r is not None]
            slow = ', '.join(f'{r * 1000:.0f} ms at {t:.1f} s' for t, r in replies
                             if r is None or r > 0.1)
            print(f'{"0.5 s X stall" if stall else "no stall     "}: exit {status}, '
                  f'{len(answered)} of {len(replies)} pings answered, slowest '
                  f'{max(answered) * 1000:.1f} ms; lateness (ms) {lateness(out)}'
                  f'{"; slower than 100 ms: " + slow if slow else ""}')
    finally:
        desktop.close()


def cpu_ms(pid):
    """The CPU time a running process's threads used so far, to the nanosecond (the clock
    ticks of /proc/PID/stat are 10 ms)."""
    total = 0
    for task in os.listdir(f'/proc/{pid}/task'):
        try:
            total += int(open(f'/proc/{pid}/task/{task}/schedstat').read().split()[0])
        except (OSError, ValueError):
            pass  # a thread that ended meanwhile
    return total / 1e6


def peak_rss_mb(pid):
    """A running process's peak resident memory since its exec (the rusage of a child counts
    the forking Python's pages from before the exec too)."""
    for line in open(f'/proc/{pid}/status'):
        if line.startswith('VmHWM:'):
            return int(line.split()[1]) / 1024
    return float('nan')


TRANSFER_SAMPLE = 8.0  # seconds of the sample image's ten
IDLE_SAMPLE = 5.0  # seconds at the "Ready" prompt


def terminal_transfer_cpu(build):
    """vyr-update --simulate --yes: CPU over the same seconds of the transfer."""
    folder = tempfile.mkdtemp()
    terminal = subprocess.Popen([os.path.join(build, 'bin/vyr-update'), '--simulate', '--yes',
                                 '--prefs', os.path.join(folder, 's.plist')],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    for line in terminal.stdout:
        if line.startswith('Now updating'):
            break
    time.sleep(0.2)
    before = cpu_ms(terminal.pid)
    time.sleep(TRANSFER_SAMPLE)
    used = cpu_ms(terminal.pid) - before
    peak = peak_rss_mb(terminal.pid)
    terminal.stdout.read()
    _, _, usage = os.wait4(terminal.pid, 0)
    return (float('nan'), peak, (usage.ru_utime + usage.ru_stime) * 1000, used, float('nan'))


def figures(build):
    """Against the minimal Qt program, in one run: time to the first window and peak memory;
    CPU over eight seconds of the transfer against the terminal updater's."""
    desktop = Desktop()
    rows = {}
    try:
        for _ in range(3):
            for name in ('minimal Qt box', 'vyr-updater'):
                minimal = name == 'minimal Qt box'
                program = Updater(build, desktop,
                                  [os.path.join(build, 'bin/minimal_qt_box')] if minimal else None)
                transfer = idle = float('nan')
                if not minimal:
                    program.wait_waiting()
                    ready = program.next_box()
                    time.sleep(0.5)
                    before = cpu_ms(program.process.pid)
                    time.sleep(IDLE_SAMPLE)
                    idle = cpu_ms(program.process.pid) - before
                    desktop.press_return(ready)
                    program.answer(1)  # the update-mode prompt
                    time.sleep(1.2)  # the silence check
                    before = cpu_ms(program.process.pid)
                    time.sleep(TRANSFER_SAMPLE)
                    transfer = cpu_ms(program.process.pid) - before
                    program.answer(1)  # "Complete"
                    time.sleep(0.5)
                peak = peak_rss_mb(program.process.pid)
                desktop.send_protocol(program.window, 'WM_DELETE_WINDOW')
                program.end(60)
                usage = program.usage
                rows.setdefault(name, []).append(
                    (program.first_window * 1000, peak,
                     (usage.ru_utime + usage.ru_stime) * 1000, transfer, idle))
            rows.setdefault('vyr-update', []).append(terminal_transfer_cpu(build))
    finally:
        desktop.close()
    print(f'medians of 3 runs; CPU in ms: in all, over {TRANSFER_SAMPLE:.0f} s of the transfer, '
          f'over {IDLE_SAMPLE:.0f} s at a prompt')
    print('program          first window (ms)  peak RSS (MB)  CPU   transfer  prompt')
    for name, values in rows.items():
        m = [sorted(column)[1] for column in zip(*values)]
        print(f'{name:16} {m[0]:17.0f} {m[1]:14.1f} {m[2]:5.0f} {m[3]:9.1f} {m[4]:7.1f}')


if __name__ == '__main__':
    modes = {'doors': doors, 'wayland-doors': lambda build: doors(build, WaylandDesktop),
             'measure': measure, 'figures': figures}
    if len(sys.argv) != 3 or sys.argv[2] not in modes:
        sys.exit(__doc__)
    sys.exit(0 if modes[sys.argv[2]](sys.argv[1]) is not False else 1)
