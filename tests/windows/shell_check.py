#!/usr/bin/env python3
"""quillo.exe's two browser buttons under Wine, clicked with xdotool as a
person would, against the real COM runtime.

"IEからURLを取得": the shell's window list is quillo_fake_shell.dll, an
in-process COM server registered (for this test only) under the ShellWindows
class id and scripted before each click. The URL field and the error box are
read back through the clipboard (Ctrl+C copies a message box's text); after
every click the server must report no live objects.

After the shell's windows come the running browsers' tabs, read from real
session files (Chromium 156's, Firefox ESR's, tests/data) placed in the
prefix's AppData, each browser's lock held by quillo-probe as the browser
holds it.

"ライト版": the shell hands the lite page's address to the program the test
prefix registers for http (quillo-probe, which records its arguments).

Usage: shell_check.py RUNNER QUILLO_EXE FAKE_SHELL_DLL  (DISPLAY: an X server)
"""

import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HOST = os.environ.get("QUILLO_SITE_HOST", "listings.example")
SITE = "http://" + HOST
DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")
CLASS_KEY = r"HKCR\CLSID\{9BA05972-F6A8-11CF-A442-00A0C90A8F39}\InprocServer32"

# Client-area points of the controls (core/FormLayout.h).
LITE_BUTTON = (8 + 177 // 2, 8 + 33 // 2)
BROWSER_BUTTON = (200 + 153 // 2, 8 + 33 // 2)
URL_FIELD = (8 + 513 // 2, 48 + 19 // 2)


class Failure(Exception):
    pass


def poll(what, probe, timeout=30):
    deadline = time.monotonic() + timeout
    while True:
        found = probe()
        if found:
            return found
        if time.monotonic() > deadline:
            raise Failure("no %s within %d s" % (what, timeout))
        time.sleep(0.1)


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def xdotool(*args):
    done = subprocess.run(["xdotool", *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                          timeout=15, check=False)
    return done.stdout.decode().strip()


# The X window questions, shared with the Linux window drivers: a window
# that goes between two calls counts as gone.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import x_windows  # noqa: E402


def geometry(window):
    """A window the check still needs: its going is a failure."""
    place = x_windows.geometry(window)
    if place is None:
        raise Failure("window %s went away" % window)
    return place


def visible(name):
    return x_windows.visible(name)


def clipboard():
    done = subprocess.run(["xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING"],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=10,
                          check=False)
    return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None


class Check:
    def __init__(self, runner, program, folder):
        self.script = os.path.join(folder, "script.txt")
        self.log = os.path.join(folder, "log.txt")
        self.record = os.path.join(folder, "launched.txt")
        env = dict(os.environ, QUILLO_FAKE_SHELL_SCRIPT=windows_path(self.script),
                   QUILLO_FAKE_SHELL_LOG=windows_path(self.log), QUILLO_LAUNCH_RECORD=self.record)
        self.runner = runner
        self.probe = os.path.join(os.path.dirname(program), "quillo-probe.exe")
        # A session of its own, so that a failed run takes Wine's processes along.
        self.proc = subprocess.Popen([runner, program], env=env, start_new_session=True)
        self.form = poll("window named Form1", lambda: (visible("Form1") or [None])[0])
        self.origin = geometry(self.form)[:2]
        self.failures = 0

    def click(self, point):
        xdotool("mousemove", str(self.origin[0] + point[0]), str(self.origin[1] + point[1]),
                "click", "1")

    def url_field(self):
        self.click(URL_FIELD)
        xdotool("key", "--delay", "30", "ctrl+a", "ctrl+c")
        return clipboard()

    def type_url(self, text):
        self.click(URL_FIELD)
        xdotool("key", "ctrl+a")
        xdotool("type", "--delay", "20", text)
        poll("URL field holding %s" % text, lambda: self.url_field() == text, timeout=15)

    def press_browser_button(self, script):
        with open(self.script, "w", encoding="utf-8") as f:
            f.write("\n".join(script) + "\n")
        open(self.log, "w").close()
        self.click(BROWSER_BUTTON)

    def box(self):
        """The error box's text, icon and buttons, read by quillo-probe through
        the box's controls, or None when no box comes; OK closes it."""
        try:
            box = poll("error box", lambda: (visible("quillo") or [None])[0], timeout=5)
        except Failure:
            return None
        out = subprocess.run([self.runner, self.probe, "box", "quillo"], stdout=subprocess.PIPE,
                             timeout=60, check=False).stdout.decode("utf-8", "replace")
        x, y, width, height = geometry(box)
        xdotool("mousemove", str(x + width // 2), str(y + height // 2))
        xdotool("key", "Return")
        poll("error box gone", lambda: not visible("quillo"), timeout=15)
        return out.replace("\r", "").strip()

    def live_objects(self):
        lines = [l for l in open(self.log, encoding="utf-8").read().split("\n")
                 if l.startswith("live ")]
        return lines[-1] if lines else "live (nothing created)"

    def expect(self, what, got, want):
        ok = got == want
        print("%s %s: %r" % ("ok  " if ok else "FAIL", what, got), flush=True)
        if not ok:
            print("     expected %r" % want, flush=True)
            self.failures += 1

    def case(self, name, script, field, box):
        self.type_url("typed")
        self.press_browser_button(script)
        if box is not None:
            box = "text: %s\nicon: yes\nbuttons: OK" % box
        self.expect(name + ": error box", self.box(), box)
        self.expect(name + ": URL field", self.url_field(), field)
        self.expect(name + ": objects left", self.live_objects(), "live 0")


def main():
    runner, program, dll = sys.argv[1:4]
    folder = tempfile.mkdtemp(prefix="quillo-shell.")
    register = [runner, "reg", "add", CLASS_KEY, "/ve", "/d", windows_path(dll), "/f"]
    threading = [runner, "reg", "add", CLASS_KEY, "/v", "ThreadingModel", "/d", "Apartment", "/f"]
    for command in (register, threading):
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True, timeout=60)
    check = None
    try:
        check = Check(runner, program, folder)
        japanese = SITE.upper() + "/servlet/検索?地域=東京"
        check.case("first site window wins, capitals match, Japanese kept",
                   ["window http://other.example/servlet/a", "window-closed",
                    "window " + japanese, "window " + SITE + "/servlet/second"],
                   field=japanese, box=None)
        log = open(check.log, encoding="utf-8").read()
        check.expect("Item takes a 32-bit integer variant", "item 2 vt 3" in log, True)
        check.case("no site window", ["window http://other.example/"], field="typed", box=None)
        check.case("window without the browser interface",
                   ["window-without-browser", "window " + SITE + "/x"],
                   field="typed", box="Interface not supported.")
        check.case("failure with a description",
                   ["window http://other.example/", "item-fails 80004005 The list broke..  \\r\\n"],
                   field="typed", box="The list broke.")
        check.case("failure without a description", ["count-fails 80004005"],
                   field="typed", box=check_system_text(runner))
        check.case("failure the system has no text for", ["url-fails 80041234"],
                   field="typed", box="OLE エラー 80041234.")

        if HOST == "listings.example":  # the host the kept sessions show
            browser_cases(check, runner)
        else:
            print("skipped the browser session cases: site host %s" % HOST, flush=True)

        check.click(LITE_BUTTON)
        launched = poll("address handed to the http program",
                        lambda: os.path.exists(check.record) and open(check.record).read())
        check.expect("lite button opens", launched.split("\n")[0], SITE + "/lite/")
        if check.failures:
            raise Failure("%d checks failed" % check.failures)
    finally:
        if check is not None and check.proc.poll() is None:
            os.killpg(check.proc.pid, 9)
        subprocess.run([runner, "reg", "delete", CLASS_KEY, "/f"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=60, check=False)
        shutil.rmtree(folder, ignore_errors=True)
    print("PASS")


class AppData:
    """The prefix user's AppData, and the browsers' files and locks in it."""

    def __init__(self, runner, probe):
        self.runner, self.probe, self.locks = runner, probe, []
        users = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users")
        self.root = [d for d in glob.glob(os.path.join(users, "*", "AppData"))
                     if os.path.basename(os.path.dirname(d)) != "Public"][0]
        self.drive_c = os.path.dirname(users)

    def path(self, relative):
        return os.path.join(self.root, *relative.split("/"))

    def windows(self, relative):
        return "C:\\" + os.path.relpath(self.path(relative), self.drive_c).replace("/", "\\")

    def hold(self, browser, relative):
        """quillo-probe holding the lock file as browser does."""
        proc = subprocess.Popen([self.runner, self.probe, "hold-lock", browser,
                                 self.windows(relative)], stdin=subprocess.PIPE,
                                stdout=subprocess.PIPE, start_new_session=True)
        line = proc.stdout.readline().decode().strip()
        if line != "held":
            raise Failure("lock %s not held: %r" % (relative, line))
        self.locks.append(proc)

    def release(self):
        for proc in self.locks:
            proc.stdin.close()
            proc.wait(timeout=60)
        self.locks = []

    def firefox(self, running=True, broken_entry=False):
        """A profile with a Japanese name, listed by a relative path, after
        an entry whose path is not UTF-8 when broken_entry."""
        firefox = self.path("Roaming/Mozilla/Firefox")
        profile = "Profiles/quillo.既定"
        os.makedirs(os.path.join(firefox, profile, "sessionstore-backups"))
        with open(os.path.join(firefox, "profiles.ini"), "wb") as f:
            if broken_entry:
                f.write(b"[Profile0]\r\nName=broken\r\nIsRelative=1\r\n"
                        b"Path=Profiles/\xff\xfe\r\n")
            f.write(("[Profile1]\r\nName=既定\r\nIsRelative=1\r\nPath=%s\r\n"
                     % profile).encode("utf-8"))
        shutil.copyfile(os.path.join(DATA, "firefox-esr-153", "sessionstore-backups",
                                     "recovery.jsonlz4"),
                        os.path.join(firefox, profile, "sessionstore-backups", "recovery.jsonlz4"))
        self.hold("firefox", "Roaming/Mozilla/Firefox/%s/parent.lock" % profile)
        if not running:
            self.release()

    def chromium(self, folder, open_windows=True, plain_copy=True, held=True):
        """held=False: the lockfile a crash leaves behind, which nobody holds."""
        user_data = self.path("Local/%s/User Data" % folder)
        shutil.copytree(os.path.join(DATA, "chromium-156"), user_data)
        if not open_windows:
            with open(os.path.join(user_data, "Local State"), encoding="utf-8") as f:
                state = json.load(f)
            state["profile"]["last_active_profiles"] = []
            with open(os.path.join(user_data, "Local State"), "w", encoding="utf-8") as f:
                json.dump(state, f)
        if not plain_copy:
            shutil.rmtree(os.path.join(user_data, "Default", "Sessions"))
        if held:
            self.hold("chromium", "Local/%s/User Data/lockfile" % folder)
        else:
            open(os.path.join(user_data, "lockfile"), "wb").close()

    def clear(self):
        self.release()
        for folder in ("Roaming/Mozilla", "Local/Google", "Local/Microsoft/Edge", "Local/Vivaldi"):
            shutil.rmtree(self.path(folder), ignore_errors=True)


def browser_cases(check, runner):
    data = AppData(runner, check.probe)
    explorer = ["window file:///C:/users/"]
    firefox_url = SITE + "/servlet/result2.html"
    chromium_url = SITE + "/servlet/result1.html"
    encrypted = data.windows("Local/Google/Chrome/User Data/Default/Sessions_Encrypted/"
                             "Session_13441285792514540")
    cases = [
        ("Firefox running", lambda: data.firefox(), explorer, firefox_url, None),
        ("Firefox ended, parent.lock left behind", lambda: data.firefox(running=False),
         explorer, "typed", None),
        ("a broken shell list and a profiles.ini path that is not UTF-8 hide no Firefox tab",
         lambda: data.firefox(broken_entry=True), ["window-without-browser"], firefox_url, None),
        ("Chrome running", lambda: data.chromium("Google/Chrome"), explorer, chromium_url, None),
        ("Chrome ended, its lockfile left behind unheld",
         lambda: data.chromium("Google/Chrome", held=False), explorer, "typed", None),
        ("Edge running", lambda: data.chromium("Microsoft/Edge"), explorer, chromium_url, None),
        ("Vivaldi running", lambda: data.chromium("Vivaldi"), explorer, chromium_url, None),
        ("Firefox and Chrome: Firefox first",
         lambda: (data.chromium("Google/Chrome"), data.firefox()), explorer, firefox_url, None),
        ("a site window in the shell's list wins, no session read",
         lambda: data.chromium("Google/Chrome", plain_copy=False),
         explorer + ["window " + SITE + "/servlet/shell"], SITE + "/servlet/shell", None),
        ("Chrome profile without open windows",
         lambda: data.chromium("Google/Chrome", open_windows=False), explorer, "typed", None),
        ("only the encrypted copy", lambda: data.chromium("Google/Chrome", plain_copy=False),
         explorer, "typed",
         "No open browser session could be read: %s: encrypted session file." % encrypted),
    ]
    try:
        for name, setup, script, field, box in cases:
            setup()
            check.case(name, script, field=field, box=box)
            data.clear()
        data.firefox(running=False)
        check.expect("parent.lock stays after Firefox",
                     os.path.exists(data.path("Roaming/Mozilla/Firefox/Profiles/quillo.既定/"
                                              "parent.lock")), True)
        data.clear()
        data.chromium("Google/Chrome")
        data.release()
        check.expect("lockfile gone with Chrome",
                     os.path.exists(data.path("Local/Google/Chrome/User Data/lockfile")), False)
    finally:
        data.clear()


def check_system_text(runner):
    """E_FAIL's text as this system words it, trimmed, with its full stop."""
    probe = os.path.join(os.path.dirname(sys.argv[2]), "quillo-probe.exe")
    out = subprocess.run([runner, probe, "error-text", "0x80004005"], stdout=subprocess.PIPE,
                         timeout=60, check=True).stdout.decode("utf-8")
    text = out.split("\n")[0].rstrip(" .\r\t")
    return text + "." if text else "OLE エラー 80004005."


if __name__ == "__main__":
    try:
        main()
    except Failure as failure:
        print("FAIL: %s" % failure, flush=True)
        sys.exit(1)
