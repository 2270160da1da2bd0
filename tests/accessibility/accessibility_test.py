#!/usr/bin/python3
"""Kestrove on the accessibility bus, read as a screen reader reads it.

Runs the real executable on a private Xvfb with two monitors named as
XWayland names them (so the program shows its "no screen capture" notice),
a private session bus with at-spi2-core's bus launcher and registry, and
reads the tree with pyatspi: the application, the notice alert's text, the
main frame's name before and after Ctrl+2, the context menu and its items,
the About box's icon, label and OK button, whose "click" action closes it.
Then the same program without any bus: it starts and runs as before, silent.

Usage: accessibility_test.py KESTROVE
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

KESTROVE = None
TIMEOUT = 20.0


def wait_for(what, condition, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except Exception:  # objects vanish while they are read
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.1)


class Processes:
    """Child processes, ended in reverse order."""

    def __init__(self):
        self.children = []

    def start(self, args, env, **kwargs):
        child = subprocess.Popen(args, env=env, **kwargs)
        self.children.append(child)
        return child

    def end(self):
        for child in reversed(self.children):
            if child.poll() is None:
                child.terminate()
                try:
                    child.wait(5)
                except subprocess.TimeoutExpired:
                    child.kill()
                    child.wait()


BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={dir}</listen>
  <auth>EXTERNAL</auth>
  <servicedir>{dir}</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def start_x(processes, env):
    xvfb = processes.start(["Xvfb", "-displayfd", "1", "-screen", "0", "2400x1080x24",
                            "-nolisten", "tcp", "-noreset"], env, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)
    env["DISPLAY"] = ":" + xvfb.stdout.readline().decode().strip()
    xvfb.stdout.close()
    # Two monitors with XWayland's names and no compositor behind them.
    for args in (["--setmonitor", "XWAYLAND0", "1280/338x720/190+0+0", "screen"],
                 ["--setmonitor", "XWAYLAND1", "1120/296x630/167+1280+0", "none"]):
        subprocess.run(["xrandr"] + args, env=env, check=True, stdout=subprocess.DEVNULL)


class Accessibility(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="kestrove-a11y-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.processes = Processes()
        self.addCleanup(self.processes.end)
        self.env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": self.dir,
                    "XDG_RUNTIME_DIR": self.dir, "LANG": "C.UTF-8"}
        start_x(self.processes, self.env)

    def start_kestrove(self):
        return self.processes.start([KESTROVE], self.env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE, text=True)

    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--clearmodifiers"] + list(keys), env=self.env,
                       check=True)

    def start_session_bus(self):
        """A session bus with nothing on it but what the test starts."""
        config = os.path.join(self.dir, "session.conf")
        with open(config, "w") as out:
            out.write(BUS_CONFIG.format(dir=self.dir))
        bus = self.processes.start(["dbus-daemon", "--config-file=" + config, "--nofork",
                                    "--print-address=1"], self.env, stdout=subprocess.PIPE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        bus.stdout.close()

    def test_a_screen_reader_reads_every_window(self):
        self.start_session_bus()
        self.processes.start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                             self.env)
        os.environ.update(self.env)
        wait_for("the accessibility bus", lambda: subprocess.run(
            ["xprop", "-root", "AT_SPI_BUS"], env=self.env, capture_output=True,
            text=True).stdout.find("unix:") >= 0)
        import pyatspi

        kestrove = self.start_kestrove()
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for("Kestrove on the bus", lambda: next(
            (a for a in desktop if a is not None and a.name == "Kestrove"), None))
        self.assertEqual(app.getRole(), pyatspi.ROLE_APPLICATION)

        def child(parent, role, name=None):
            return next((c for c in parent if c.getRole() == role
                         and (name is None or c.name.startswith(name))), None)

        # The notice: an alert with its text and an OK button.
        alert = wait_for("the notice alert", lambda: child(app, pyatspi.ROLE_ALERT))
        self.assertEqual(alert.name, "Kestrove")
        text = child(alert, pyatspi.ROLE_LABEL)
        self.assertTrue(text.name.startswith("このデスクトップでは画面を取り込めません"), text.name)
        self.assertEqual(text.queryText().getText(0, -1), text.name)
        ok = child(alert, pyatspi.ROLE_PUSH_BUTTON, "OK")
        wait_for("OK focused", lambda: ok.getState().contains(pyatspi.STATE_FOCUSED))
        ok.queryAction().doAction(0)
        wait_for("the alert to close", lambda: child(app, pyatspi.ROLE_ALERT) is None)

        # The main window: a frame named by its title, renamed by Ctrl+2.
        frame = child(app, pyatspi.ROLE_FRAME)
        self.assertEqual(frame.name, "Kestrove - [1:2] ")
        self.assertTrue(frame.getState().contains(pyatspi.STATE_SHOWING))
        wait_for("the frame to be active", lambda: frame.getState().contains(pyatspi.STATE_ACTIVE))
        self.key("ctrl+2")
        wait_for("the new title", lambda: frame.name == "Kestrove - [2:2] ")

        # The context menu and its items while it is open.
        self.key("Menu")
        menu = wait_for("the menu", lambda: child(app, pyatspi.ROLE_MENU))
        items = [item.name for item in menu]
        self.assertEqual(items, ["閉じる(C)", "Kestroveについて(A)..."])
        about_item = menu[1]
        self.assertEqual(about_item.getRole(), pyatspi.ROLE_MENU_ITEM)
        about_item.queryAction().doAction(0)
        wait_for("the menu to close", lambda: child(app, pyatspi.ROLE_MENU) is None)

        # The About box: a dialog with its icon, its label and OK.
        about = wait_for("the About box", lambda: child(app, pyatspi.ROLE_DIALOG))
        self.assertEqual(about.name, "Kestrove について")
        self.assertTrue(about.getState().contains(pyatspi.STATE_MODAL))
        wait_for("the frame disabled under its modal box",
                 lambda: not frame.getState().contains(pyatspi.STATE_SENSITIVE))
        self.assertIsNotNone(child(about, pyatspi.ROLE_ICON))
        label = child(about, pyatspi.ROLE_LABEL, "Kestrove Ver.")
        self.assertEqual(label.name, "Kestrove Ver.:2-0-0-100")
        self.assertEqual(label.queryText().getText(0, -1), "Kestrove Ver.:2-0-0-100")
        ok = child(about, pyatspi.ROLE_PUSH_BUTTON, "OK")
        self.assertTrue(ok.getState().contains(pyatspi.STATE_IS_DEFAULT))
        # Where they are, for a screen reader's mouse and flat review.
        box = about.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        button = ok.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        self.assertGreater(button.width, 0)
        self.assertTrue(box.x <= button.x and button.x + button.width <= box.x + box.width
                        and box.y <= button.y and button.y + button.height <= box.y + box.height,
                        (box, button))
        wait_for("OK focused", lambda: ok.getState().contains(pyatspi.STATE_FOCUSED))
        action = ok.queryAction()
        self.assertEqual(action.getName(0), "click")
        action.doAction(0)
        wait_for("the About box to close", lambda: child(app, pyatspi.ROLE_DIALOG) is None)
        wait_for("the frame enabled again", lambda: frame.getState().contains(pyatspi.STATE_SENSITIVE))
        self.assertIsNone(kestrove.poll(), "Kestrove ended")

    def test_without_an_accessibility_bus_the_program_runs_as_before(self):
        for session_bus in (False, True):
            with self.subTest(session_bus=session_bus):
                if session_bus:
                    self.start_session_bus()  # one that offers no accessibility bus
                self.run_silently()

    def run_silently(self):
        kestrove = self.start_kestrove()
        wait_for("the mirror window", lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^Kestrove - \\["], env=self.env,
            capture_output=True).returncode == 0)
        time.sleep(1)
        self.assertIsNone(kestrove.poll(), "Kestrove ended")
        kestrove.terminate()
        _, errors = kestrove.communicate(timeout=10)
        # Only the line on the missing screen capture, nothing about buses.
        lines = [line for line in errors.splitlines() if "the mirror stays blank" not in line]
        self.assertEqual(lines, [])


if __name__ == "__main__":
    KESTROVE = sys.argv.pop(1)
    unittest.main(verbosity=2)
