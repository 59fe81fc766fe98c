#!/usr/bin/python3
"""The window as a screen reader meets it over AT-SPI: every control named, the steps with a
state in words, and the reading order that of the eye.

usage: tests/qt/accessibility.py BUILD_DIR   (in a session bus, on an X display: see
tests/qt/CMakeLists.txt)"""
import os
import signal
import subprocess
import sys
import tempfile
import time

CONTROLS = {'push button', 'progress bar'}  # the window's controls


def tree(node):
    """(role, name) of every node under node, in reading order."""
    return [row for child in node for row in [(child.getRoleName(), child.name)] + tree(child)]


def main(build):
    # The accessibility bus first: the library looks for it when it is imported.
    launcher = subprocess.Popen(['/usr/libexec/at-spi-bus-launcher', '--launch-immediately'],
                                start_new_session=True)
    time.sleep(1)
    global pyatspi
    import pyatspi
    folder = tempfile.mkdtemp()
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1', LANGUAGE='en', LC_ALL='C.UTF-8')
    updater = subprocess.Popen([os.path.join(build, 'bin/vyr-updater'), '--simulate', '--prefs',
                                os.path.join(folder, 'status.plist')],
                               env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        rows, deadline = [], time.monotonic() + 20
        while ('label', 'Ready') not in rows:  # the device answered: "Ready" is open
            if time.monotonic() > deadline:
                sys.exit(f'FAILED: no "Ready" prompt on the accessibility bus; saw {rows}')
            time.sleep(0.5)
            apps = [app for app in pyatspi.Registry.getDesktop(0)
                    if app is not None and app.name == 'vyr-updater']
            rows = tree(apps[0]) if apps else []
    finally:
        updater.kill()
        os.killpg(launcher.pid, signal.SIGKILL)  # with the bus it started
    failed = [f'{role} without a name' for role, name in rows if role in CONTROLS and not name]
    names = [name for _, name in rows]
    expected = ['Connect: done', 'Ready: current', 'Update mode: not yet', 'Transfer: not yet',
                'Complete: not yet']
    steps = [name for role, name in rows
             if role == 'label' and ': ' in name
             and name.split(': ')[0] in [e.split(': ')[0] for e in expected]]
    if steps != expected:
        failed.append(f'the steps say {steps}')
    order = ['Device:', 'Firmware:', 'Connect: done', 'Close']
    if not all(name in names for name in order) or \
            [names.index(name) for name in order] != sorted(names.index(name) for name in order):
        failed.append(f'reading order {names}')
    print('\n'.join(['FAILED: ' + line for line in failed] +
                    [f'{len(rows)} accessible objects read, {len(failed)} failures']))
    return not failed


if __name__ == '__main__':
    sys.exit(0 if main(sys.argv[1]) else 1)
