#!/usr/bin/env python3
"""The Windows download as a user gets it: unpacked into an empty folder,
it holds quillo.exe, quillo-cli.exe and README.txt and nothing else, and
both programs start from there under Wine: quillo-cli.exe prints its usage,
quillo.exe shows its window and ends when the window is closed (Alt+F4).

Usage: zip_check.py RUNNER ZIP   (RUNNER: wine-exec.sh; DISPLAY: an X server)
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile


def fail(message):
    print("FAIL: " + message, flush=True)
    sys.exit(1)


def poll(what, probe, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = probe()
        if found:
            return found
        time.sleep(0.1)
    fail("no %s within %d s" % (what, timeout))


# The X window questions, shared with the Linux window drivers: a window
# that goes between two calls counts as gone.
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import x_windows  # noqa: E402


def main():
    runner, archive = sys.argv[1:3]
    folder = tempfile.mkdtemp(prefix="quillo-zip.")
    try:
        with zipfile.ZipFile(archive) as z:
            names = sorted(z.namelist())
            z.extractall(folder)
        top = os.path.splitext(os.path.basename(archive))[0]
        want = sorted(top + "/" + n for n in ("README.txt", "quillo-cli.exe", "quillo.exe"))
        if [n for n in names if not n.endswith("/")] != want:
            fail("the zip holds %s, expected %s" % (names, want))
        here = os.path.join(folder, top)
        print("unpacked %s: %s" % (os.path.basename(archive), ", ".join(sorted(os.listdir(here)))))

        cli = subprocess.run([runner, os.path.join(here, "quillo-cli.exe"), "--help"],
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120,
                             check=False)
        if cli.returncode != 0 or b"Usage: quillo-cli" not in cli.stdout:
            fail("quillo-cli.exe --help (%d): %r" % (cli.returncode, cli.stdout[:300]))
        print("quillo-cli.exe --help: usage printed")

        start = time.monotonic()
        window = subprocess.Popen([runner, os.path.join(here, "quillo.exe")])
        try:
            shown = poll("window named Form1", lambda: x_windows.visible("Form1"), timeout=60)
            print("quillo.exe: window shown %.1f s after the start" % (time.monotonic() - start))
            # A click into the result area gives the window the keyboard.
            place = x_windows.geometry(shown[0]) or fail("the window went away at once")
            x, y = place[0] + 265, place[1] + 180
            subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1",
                            "key", "alt+F4"], check=True, timeout=15)
            code = window.wait(timeout=60)
            if code != 0:
                fail("quillo.exe ended with status %d after Alt+F4" % code)
            print("quillo.exe: ended with status 0 after Alt+F4")
        finally:
            if window.poll() is None:
                window.kill()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
