"""A real window found on a virtual X server and then closed counts as gone."""

import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import e2e_support as e2e  # noqa: E402
import window_e2e  # noqa: E402
import x_windows  # noqa: E402


@unittest.skipUnless(shutil.which("Xvfb") and shutil.which("xmessage"), "needs Xvfb, xmessage")
class GoneWindow(unittest.TestCase):
    def test_window_closed_after_search(self):
        display = window_e2e.VirtualDisplay(os.devnull)
        self.addCleanup(display.stop)
        env = window_e2e.Desktop(display.name).env
        box = subprocess.Popen(["xmessage", "-title", "gone-soon", "bye"], env=env)
        self.addCleanup(window_e2e.stop_process, box)
        [window] = e2e.poll("xmessage's window", lambda: x_windows.visible("gone-soon", env),
                            timeout=30)
        self.assertIsNotNone(x_windows.geometry(window, env))
        window_e2e.stop_process(box)
        # The server drops the window once it has read the client's end.
        e2e.poll("window gone", lambda: x_windows.geometry(window, env) is None, timeout=10)
        self.assertEqual(x_windows.visible("gone-soon", env), [])


if __name__ == "__main__":
    unittest.main()
