"""Real browsers on the test's display, each showing pages of the demo site,
with their profiles under one throw-away home that quillo is given as well,
so that quillo finds them where it finds a user's: Chromium's below
XDG_CONFIG_HOME (~/.config unless a test moves it), Firefox's wherever
Firefox itself puts a new profile.

Both are started directly with an argument vector (the addresses are plain
arguments, no shell sees them) in a process group of their own, so that
stopping one takes its helper processes along.
"""

import glob
import json
import os
import shutil
import signal
import subprocess
import tempfile

import e2e_support as e2e


class Home:
    """The home folder the browsers and quillo share."""

    def __init__(self, config=".config"):
        """config: the XDG_CONFIG_HOME below the home folder."""
        self.path = tempfile.mkdtemp(prefix="quillo-e2e-home.")
        self.config = os.path.join(self.path, config)
        self.tmp = os.path.join(self.path, "tmp")
        os.mkdir(self.tmp)

    def env(self, base):
        env = dict(base)
        env.update(HOME=self.path,
                   XDG_CONFIG_HOME=self.config,
                   XDG_CACHE_HOME=os.path.join(self.path, ".cache"),
                   XDG_DATA_HOME=os.path.join(self.path, ".local", "share"),
                   # Chromium leaves its singleton socket's folder behind.
                   TMPDIR=self.tmp)
        # Nothing may reach a session bus or keyring outside the test.
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        return env

    def remove(self):
        shutil.rmtree(self.path, ignore_errors=True)


class Browser:
    def __init__(self, command, env, log):
        self.log = log
        self.proc = subprocess.Popen(command, env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT, start_new_session=True)

    def wait_for_session(self, urls, timeout):
        """Until the live session file holds every one of urls: browsers
        write it a few seconds after a page loads, not at once."""
        wanted = [url.encode() for url in urls]

        def probe():
            if self.proc.poll() is not None:
                raise e2e.Failure("%s ended (status %d) before writing its session"
                                  % (self.NAME, self.proc.returncode))
            return any(all(url in content for url in wanted) for content in self.sessions())

        e2e.poll("%s session holding %s" % (self.NAME, ", ".join(urls)), probe,
                 timeout=timeout, interval=0.2)
        e2e.log("%s session holds %s" % (self.NAME, ", ".join(urls)))

    def keep_files(self, folder):
        """Copies the files quillo reads (KEPT, below root) into folder, for
        a look after the run; "/" in their paths becomes "-"."""
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for pattern in self.KEPT:
            for path in glob.glob(os.path.join(self.root, pattern)):
                if os.path.isfile(path):
                    name = os.path.relpath(path, self.root).replace(os.sep, "-")
                    shutil.copyfile(path, os.path.join(folder, name))

    def stop(self):
        """Closes the browser as its user would, so that it writes its files
        out, then ends whatever of its group is left."""
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                e2e.log("%s did not end within 10 s of SIGTERM" % self.NAME)
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.proc.wait()
        self.log.close()


class Chromium(Browser):
    NAME = "Chromium"
    TOOL = "chromium"
    KEPT = ("Local State", "Default/Sessions*/*")
    # The program itself: /usr/bin/chromium is a shell script.
    PROGRAM = "/usr/lib/chromium/chromium"

    FOLDER = "chromium"  # below XDG_CONFIG_HOME

    def __init__(self, desktop, home, urls, log_path):
        self.root = os.path.join(home.config, self.FOLDER)
        super().__init__(
            [self.PROGRAM,
             # The sandbox refuses to start as root, which these tests run as.
             "--no-sandbox",
             "--user-data-dir=" + self.root,
             # A closed network and no one to answer questions: no first-run
             # dialogs, nothing fetched, synced, updated or stored in a keyring.
             "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
             "--disable-component-update", "--disable-sync", "--disable-quic",
             "--password-store=basic",
             # Containers often give /dev/shm only 64 MB.
             "--disable-dev-shm-usage",
             # Clear of where quillo's window appears.
             "--window-position=0,340", "--window-size=1000,420"] + urls,
            home.env(desktop.env), open(log_path, "wb"))

    def sessions(self):
        contents = []
        for path in glob.glob(os.path.join(self.root, "Default", "Sessions", "Session_*")):
            try:
                contents.append(e2e.read_bytes(path))
            except OSError:
                pass  # replaced while listed
        return contents


class ChromiumAsVivaldi(Chromium):
    """Chromium with its profile where Vivaldi keeps its own: the same files
    in another place."""
    NAME = "Chromium as Vivaldi"
    FOLDER = "vivaldi"


class Firefox(Browser):
    NAME = "Firefox"
    TOOL = "firefox-esr"
    KEPT = ("sessionstore-backups/*",)
    PROFILE = "quillo-e2e"
    PREFS = {
        # The default of 15 s would make every run wait that long.
        "browser.sessionstore.interval": 1000,
        # A closed network: no first-run pages, reports or updates.
        "browser.shell.checkDefaultBrowser": False,
        "browser.startup.homepage_override.mstone": "ignore",
        "browser.aboutwelcome.enabled": False,
        "datareporting.policy.dataSubmissionEnabled": False,
        "datareporting.healthreport.uploadEnabled": False,
        "toolkit.telemetry.enabled": False,
        "app.update.enabled": False,
        "app.normandy.enabled": False,
        "extensions.update.enabled": False,
        "browser.safebrowsing.update.enabled": False,
        "network.proxy.type": 0,
    }

    def __init__(self, desktop, home, urls, log_path):
        program = shutil.which(self.TOOL)
        env = home.env(desktop.env)
        env["MOZ_CRASHREPORTER_DISABLE"] = "1"
        # Firefox makes the profile where it keeps new ones and lists it in
        # its own profiles.ini, as on a user's first start.
        log = open(log_path, "wb")
        subprocess.run([program, "--headless", "-CreateProfile", self.PROFILE], env=env,
                       stdout=log, stderr=subprocess.STDOUT, timeout=60, check=True)
        self.root = self._created_profile(home.path)
        with open(os.path.join(self.root, "user.js"), "w", encoding="utf-8") as f:
            for name, value in self.PREFS.items():
                f.write("user_pref(%s, %s);\n" % (json.dumps(name), json.dumps(value)))
        e2e.log("Firefox profile %s" % os.path.relpath(self.root, home.path))
        super().__init__([program, "--no-remote", "--new-instance", "-P", self.PROFILE] + urls,
                         env, log)

    def _created_profile(self, home):
        # The cache folder bears the profile's name too; only the profile
        # itself holds times.json.
        found = [folder for folder, _, files in os.walk(home)
                 if folder.endswith("." + self.PROFILE) and "times.json" in files]
        if len(found) != 1:
            raise e2e.Failure("Firefox made no single profile folder: %s" % found)
        return found[0]

    def sessions(self):
        path = os.path.join(self.root, "sessionstore-backups", "recovery.jsonlz4")
        try:
            return [mozlz4_content(e2e.read_bytes(path))]
        except (OSError, IndexError):
            return []  # not written yet


def mozlz4_content(data):
    """A mozLz4 file's content: "mozLz40\\0", its size (4 bytes), one LZ4 block."""
    if data[:8] != b"mozLz40\0":
        return b""
    src, out, i = data[12:], bytearray(), 0

    def length(n):
        nonlocal i
        if n == 15:  # then bytes are added up to the first one below 255
            while True:
                i += 1
                n += src[i - 1]
                if src[i - 1] != 255:
                    break
        return n

    while i < len(src):
        token = src[i]
        i += 1
        n = length(token >> 4)
        out += src[i:i + n]
        i += n
        if i >= len(src):
            break  # the last sequence is literals only
        offset = src[i] | src[i + 1] << 8
        i += 2
        for _ in range(length(token & 15) + 4):
            out.append(out[-offset])
    return bytes(out)
