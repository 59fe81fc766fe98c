#!/usr/bin/python3
"""vyr-updater --simulate as a desktop meets it: under Xvfb with a window manager (openbox),
driven over X as a user and the window manager would (keys by XTest, the close button as
WM_DELETE_WINDOW, "are you alive" as _NET_WM_PING).

usage: bench/window-under-wm.py BUILD_DIR doors     the close button, SIGTERM and a lost
                                                    display (a test)
       bench/window-under-wm.py BUILD_DIR measure   ping replies through the transfer, and the
                                                    firmware's lateness with a 0.5 s X stall
       bench/window-under-wm.py BUILD_DIR figures   first window, memory and CPU against a
                                                    minimal Qt program and the terminal
Needs Xvfb, openbox and python3-xlib (Debian's /usr/bin/python3).
"""
import os
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
            new = [w for i, w in self.desktop.boxes().items() if i not in self.answered]
            return new[0] if new else None
        box = self.until(fresh, 'prompt')
        self.answered.add(box.id)
        return box

    def answer(self, count):
        for _ in range(count):
            box = self.next_box()
            time.sleep(0.3)
            self.desktop.press_return(box)

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


def doors(build):
    good = without_display(build)
    desktop = Desktop()
    try:
        # The window names itself as its desktop entry says, with the icon: docks show both.
        updater = Updater(build, desktop)
        entry = open(os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                  '../data/org.vyr.firmware-updater.desktop')).read()
        wm_class = updater.window.get_wm_class()
        icon = updater.window.get_full_property(desktop.atom('_NET_WM_ICON'), X.AnyPropertyType)
        good &= check(f'StartupWMClass={wm_class[1]}\n' in entry and icon is not None,
                      f'window class {wm_class} as the desktop entry says, icon set')

        # The close button while a prompt is open backs out, and the lock goes.
        updater.wait_waiting()
        time.sleep(0.3)
        desktop.send_protocol(updater.window, 'WM_DELETE_WINDOW')
        status, _, err, left = updater.end()
        good &= check(status == 2, f'close button at a prompt: exit {status} (2) {err.strip()}')
        good &= check('status.plist.lock' not in left, f'no lock file left: {left}')

        # During the transfer the close button asks and SIGTERM warns; the transfer goes on.
        updater = Updater(build, desktop)
        updater.wait_waiting()
        updater.answer(2)  # "Ready", the update-mode prompt
        time.sleep(3)
        desktop.send_protocol(updater.window, 'WM_DELETE_WINDOW')
        question = updater.next_box()
        time.sleep(0.3)
        desktop.press_return(question)  # "Go on" is the default
        updater.process.send_signal(signal.SIGTERM)
        updater.answer(1)  # "Complete"
        time.sleep(0.5)
        desktop.send_protocol(updater.window, 'WM_DELETE_WINDOW')
        status, out, err, left = updater.end()
        good &= check(status == 0 and 'identical to the image: yes' in out,
                      f'close asked, SIGTERM warned, transfer complete: exit {status} (0)\n'
                      f'{out}{err}')

        # The display lost mid-transfer: Qt ends the process, but only after the transfer,
        # and a completed transfer is no failure. Last: it ends this desktop.
        updater = Updater(build, desktop)
        updater.wait_waiting()
        updater.answer(2)
        time.sleep(3)
        desktop.server.kill()
        status, _, err, left = updater.end()
        saved = open(os.path.join(updater.folder, 'status.plist')).read()
        good &= check(status == 0 and '<integer>2</integer>' in saved and left == ['status.plist'],
                      f'display lost mid-transfer: exit {status} (0), status 2, no lock: '
                      f'{left} {err.strip()}')
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
    modes = {'doors': doors, 'measure': measure, 'figures': figures}
    if len(sys.argv) != 3 or sys.argv[2] not in modes:
        sys.exit(__doc__)
    sys.exit(0 if modes[sys.argv[2]](sys.argv[1]) is not False else 1)
