"""The real quillo window on a virtual X server inside the demo site's
network namespace, driven the way a person drives it: click into the URL
field, type the address, press Alt+D (or click the download button), then
select all in the result area, copy, and read the clipboard.

Usage: window_e2e.py MODE QUILLO ARTIFACT_DIR

QUILLO is the Qt program, or quillo.exe, which then runs under Wine in a
throw-away prefix started inside the namespace (its sockets are the Wine
server's, so the server must live there).

  download     all four demo pages, started with Alt+D in the URL field; the
               clipboard must hold every expected line; screenshot
               window-after-run.png
  download-https
               the same from the https address (the demo site's
               SSL_CERT_FILE trusts its CA), started with a click
  page2-fails  the further pages' host leads to an address where nothing
               listens: the error box titled "quillo" appears over the
               window, page 1's lines stay; screenshots window-error-box.png
               and window-after-error.png
  page-gone    the demo's closed1.html, whose last further page is gone
               (nginx answers 404): the error box names that page (its
               text copied with Ctrl+C), the lines of the first two pages
               stay; screenshot window-page-gone.png
  browser-chromium, browser-firefox, browser-both
               the real browser (both: Firefox and Chromium) shows pages of
               the site; once its live session file holds them, the browser
               button (for Firefox alone its key, Alt+I) puts the address
               into the URL field: Chromium's second tab (its first shows
               another site), Firefox's page when both run; screenshot window-<mode>.png, Chromium's session files
               in chromium-<mode>/
  browser-vivaldi
               as browser-chromium, with Chromium's profile where Vivaldi
               keeps its own, under an XDG_CONFIG_HOME other than ~/.config
"""

import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

import e2e_support as e2e
import live_browsers
import reference_parser as rp
import x_windows

BROWSERS = {"browser-chromium": (live_browsers.Chromium,),
            "browser-firefox": (live_browsers.Firefox,),
            "browser-both": (live_browsers.Chromium, live_browsers.Firefox),
            "browser-vivaldi": (live_browsers.ChromiumAsVivaldi,)}
MODES = ("download", "download-https", "page2-fails", "page-gone") + tuple(BROWSERS)
X_TOOLS = ("Xvfb", "xdotool", "xclip", "xprop", "import", "convert")

# Client-area coordinates of the controls, from the window's fixed layout.
CLIENT_SIZE = (530, 309)
URL_FIELD = (8 + 513 // 2, 48 + 19 // 2)
DOWNLOAD_BUTTON = (368 + 153 // 2, 8 + 33 // 2)
BROWSER_BUTTON = (200 + 153 // 2, 8 + 33 // 2)
# The result area lies between the 81-pixel panel and the 21-pixel status bar.
RESULT_AREA = (530 // 2, (81 + 309 - 21) // 2)

# The window's caption; the error box bears the application title, the
# executable's name.
# Sets up a fresh Wine prefix, with retries.
WINE_BOOT = os.path.join(e2e.REPO, "tests", "windows", "wine-boot.sh")

MAIN_WINDOW_NAME = "Form1"
ERROR_BOX_NAME = "quillo"


class VirtualDisplay:
    """Xvfb on the first free display number, which it picks and reports
    itself (-displayfd), so that parallel runs never collide. Local clients
    need no cookie; TCP is off."""

    def __init__(self, log_path):
        read_end, write_end = os.pipe()
        self.log = open(log_path, "wb")
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=self.log, stderr=subprocess.STDOUT)
        os.close(write_end)
        try:
            self.name = self._read_display(read_end, log_path)
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_end)

    @staticmethod
    def _read_display(read_end, log_path):
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([read_end], [], [], left)[0]:
                raise e2e.Failure("Xvfb reported no display number within 30 s")
            chunk = os.read(read_end, 16)
            if not chunk:
                raise e2e.Failure("Xvfb ended before it was ready (see %s)" % log_path)
            number += chunk
        return ":" + number.decode().strip()

    def stop(self):
        stop_process(self.proc)
        self.log.close()


def stop_process(proc):
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class Desktop:
    """The X tools, all pointed at one display."""

    def __init__(self, display):
        self.env = dict(os.environ)
        self.env["DISPLAY"] = display
        self.env.pop("XAUTHORITY", None)
        self.env.pop("WAYLAND_DISPLAY", None)

    def run(self, *args, check=True, timeout=15):
        try:
            done = subprocess.run(list(args), env=self.env, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, timeout=timeout, check=False)
        except subprocess.TimeoutExpired:
            raise e2e.Failure("%s did not finish within %d s" % (" ".join(args), timeout))
        if check and done.returncode != 0:
            raise e2e.Failure("%s failed (%d): %s"
                              % (" ".join(args), done.returncode,
                                 done.stderr.decode("utf-8", "replace").strip()))
        return done

    def xdotool(self, *args, check=True):
        return self.run("xdotool", *args, check=check).stdout.decode().strip()

    def visible_windows(self, name):
        return x_windows.visible(name, self.env)

    def geometry(self, window):
        """A window the driver still needs: its going is a failure."""
        place = x_windows.geometry(window, self.env)
        if place is None:
            raise e2e.Failure("window %s went away" % window)
        return place

    def click(self, x, y):
        # No --sync: it waits for a motion that never comes when the pointer
        # is there already. The server handles one client's requests in
        # order, so the click lands where the pointer went.
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def keys(self, *keys):
        self.xdotool("key", "--delay", "30", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", "30", text)

    def clipboard(self):
        done = self.run("xclip", "-o", "-selection", "clipboard", "-t", "UTF8_STRING",
                        check=False, timeout=10)
        return done.stdout.decode("utf-8", "replace") if done.returncode == 0 else None

    def properties(self, window, *names):
        return self.run("xprop", "-id", window, *names).stdout.decode("utf-8", "replace")

    def screenshot(self, path, painted=None):
        """The whole screen into path. With painted (a window), retakes it
        until that window shows more than a blank area: a window is mapped
        a moment before it is drawn."""
        def take():
            self.run("import", "-window", "root", path, timeout=30)
            if painted is None:
                return True
            x, y, width, height = self.geometry(painted)
            crop = "%dx%d+%d+%d" % (width, height, x, y)
            colours = self.run("convert", path, "-crop", crop, "+repage",
                               "-format", "%k", "info:").stdout.decode().strip()
            return int(colours) > 8

        e2e.poll("painted window %s in the screenshot" % painted, take, timeout=15, interval=0.2)
        e2e.log("screenshot: %s" % path)


class Window:
    """The quillo main window and the person in front of it."""

    def __init__(self, desktop, program, log_path, home=None):
        self.desktop = desktop
        self.log = open(log_path, "wb")
        env = home.env(desktop.env) if home else dict(desktop.env)
        env["QT_QPA_PLATFORM"] = "xcb"
        self.runtime_dir = tempfile.mkdtemp(prefix="quillo-e2e-xdg.")
        env["XDG_RUNTIME_DIR"] = self.runtime_dir
        self.wine = program.endswith(".exe")
        command = [program]
        if self.wine:
            env.update(WINEPREFIX=os.path.join(self.runtime_dir, "wine"), WINEARCH="win64",
                       WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
            self.wine_env = env
            wine = shutil.which("wine64") or "/usr/lib/wine/wine64"
            start = time.monotonic()
            # Retries are said in the test's own output, Wine's in the log.
            sys.stdout.flush()
            if subprocess.run([WINE_BOOT], env=env, stdout=self.log, timeout=1200).returncode:
                raise e2e.Failure("no Wine prefix (Wine's output in %s)" % log_path)
            e2e.log("Wine prefix ready in %.1f s" % (time.monotonic() - start))
            command = [wine, program]
        self.program = program
        self.started = time.monotonic()
        self.proc = subprocess.Popen(command, env=env, stdout=self.log,
                                     stderr=subprocess.STDOUT)
        self.id = None
        self.origin = (0, 0)

    def wine_run(self, *command):
        """Runs a Windows program in the window's Wine session; its output."""
        wine = shutil.which("wine64") or "/usr/lib/wine/wine64"
        done = subprocess.run([wine, *command], env=self.wine_env, stdout=subprocess.PIPE,
                              stderr=self.log, timeout=120, check=False)
        return done.stdout.decode("utf-8", "replace")

    def wait_shown(self):
        desktop = self.desktop
        # Wine's first window in a new prefix takes long on a loaded machine.
        self.id = e2e.poll("visible window named %s" % MAIN_WINDOW_NAME,
                           self._find_main_window, timeout=120 if self.wine else 30)
        x, y, width, height = desktop.geometry(self.id)
        if (width, height) != CLIENT_SIZE:
            raise e2e.Failure("client area is %dx%d, expected %dx%d: the click positions "
                              "would miss" % ((width, height) + CLIENT_SIZE))
        self.origin = (x, y)
        e2e.log("window %s: client area %dx%d at %d,%d, shown %.1f s after the start"
                % (self.id, width, height, x, y, time.monotonic() - self.started))

    def _find_main_window(self):
        if self.proc.poll() is not None:
            raise e2e.Failure("quillo ended (status %d) before showing its window"
                              % self.proc.returncode)
        found = self.desktop.visible_windows(MAIN_WINDOW_NAME)
        return found[0] if found else None

    def click(self, client_point):
        self.desktop.click(self.origin[0] + client_point[0], self.origin[1] + client_point[1])

    def copy_all(self, where):
        """Click into a control, select all, copy, and return the clipboard."""
        self.click(where)
        self.desktop.keys("ctrl+a", "ctrl+c")
        return self.desktop.clipboard()

    def enter_url(self, url):
        self.click(URL_FIELD)
        self.desktop.type_text(url)
        # Read the field back the way a person would check it.
        e2e.poll("URL field holding %s" % url,
                 lambda: self.copy_all(URL_FIELD) == url, timeout=15, interval=0.2)
        e2e.log("typed %s into the URL field" % url)

    def start_download(self, by_key):
        """The download button, or its key where the focus is."""
        if by_key:
            self.desktop.keys("alt+d")
        else:
            self.click(DOWNLOAD_BUTTON)

    def result_area_equals(self, expected, what, timeout):
        """Copies the result area until it holds expected. Input reaching the
        window during the run is dropped, so the first tries may copy
        nothing new."""
        last = []

        def probe():
            last[:] = [self.copy_all(RESULT_AREA)]
            return last[0] == expected

        try:
            e2e.poll(what, probe, timeout=timeout, interval=0.3)
        except e2e.Failure:
            e2e.compare_text(what, last[0] or "", expected)
            raise
        e2e.compare_text(what + " (clipboard)", last[0], expected)

    def stop(self):
        stop_process(self.proc)
        if self.wine:
            wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
            subprocess.run([wineserver, "-k"], env=self.wine_env, timeout=30, check=False)
        self.log.close()
        shutil.rmtree(self.runtime_dir, ignore_errors=True)


def wait_for_requests(pages, timeout, scheme="http"):
    """Polls the access log until every page's GET is in, then checks the
    whole request sequence."""
    want = 2 * len(pages)

    def probe():
        lines = e2e.access_log()
        return lines if len(lines) >= want else None

    lines = e2e.poll("GET of %s in the access log" % pages[-1], probe, timeout=timeout)
    e2e.check_requests(lines, pages, scheme)


def download(window, artifacts, scheme="http"):
    https = scheme == "https"
    window.enter_url(os.environ["QUILLO_DEMO_HTTPS_URL" if https else "QUILLO_DEMO_URL"])
    window.start_download(by_key=not https)
    pages = e2e.demo_pages()
    wait_for_requests(pages, timeout=60, scheme=scheme)
    window.result_area_equals(e2e.expected_text("entries.txt"),
                              "result area after the run", timeout=30)
    # No request beyond the pages: the run is over.
    e2e.check_requests(e2e.access_log(), pages, scheme)
    if https:
        return
    window.desktop.screenshot(os.path.join(artifacts, "window-after-run.png"))
    # The window alone, as the documentation shows it.
    x, y, width, height = window.desktop.geometry(window.id)
    window.desktop.run("convert", os.path.join(artifacts, "window-after-run.png"),
                       "-crop", "%dx%d+%d+%d" % (width, height, x, y), "+repage",
                       os.path.join(artifacts, "window.png"))


def error_box(window, artifacts, shot):
    """Waits for the error box, modal over the window; returns the text it
    shows once OK has closed it: copied with Ctrl+C from the Qt box, read
    from the Win32 box's controls by quillo-probe (Wine's box copies
    nothing)."""
    desktop = window.desktop
    box = e2e.poll("visible error box titled %s" % ERROR_BOX_NAME,
                   lambda: (desktop.visible_windows(ERROR_BOX_NAME) or [None])[0],
                   timeout=60, interval=0.2)
    props = desktop.properties(box, "WM_TRANSIENT_FOR", "_NET_WM_STATE")
    # Wine says a box is modal by leaving its owner disabled, not in _NET_WM_STATE.
    modal = window.wine or "_NET_WM_STATE_MODAL" in props
    if "window id # 0x%x" % int(window.id) not in props or not modal:
        raise e2e.Failure("the box %s is not a modal box over the window:\n%s" % (box, props))
    e2e.log("error box %s titled %s, modal over the window" % (box, ERROR_BOX_NAME))
    desktop.screenshot(os.path.join(artifacts, shot), painted=box)

    # The box holds the keyboard focus; OK is its default button.
    x, y, width, height = desktop.geometry(box)
    desktop.xdotool("mousemove", str(x + width // 2), str(y + height // 2))
    if window.wine:
        text = window.wine_run(os.path.join(os.path.dirname(window.program), "quillo-probe.exe"),
                               "box", ERROR_BOX_NAME)
    else:
        desktop.keys("ctrl+c")
        text = e2e.poll("the box's text on the clipboard",
                        lambda: (lambda t: t if t and ERROR_BOX_NAME in t else None)(
                            desktop.clipboard()), timeout=15)
    desktop.keys("Return")
    e2e.poll("error box gone after OK", lambda: not desktop.visible_windows(ERROR_BOX_NAME),
             timeout=15)
    return text


def page2_fails(window, artifacts):
    front = "front." + os.environ["QUILLO_SITE_HOST"]
    e2e.move_site_host_away(front)
    window.enter_url("http://%s/servlet/result1.html" % front)
    window.start_download(by_key=False)
    error_box(window, artifacts, "window-error-box.png")
    # Only the first page was fetched: page 2's connection was refused.
    e2e.check_requests(e2e.access_log(), ["result1.html"])

    first = len(rp.extract_entries(e2e.read_bytes(os.path.join(e2e.PAGES, "result1.html"))))
    window.result_area_equals("".join(e2e.expected_lines("entries.txt")[:first]),
                              "result area after the error (page 1's %d lines)" % first,
                              timeout=15)
    window.desktop.screenshot(os.path.join(artifacts, "window-after-error.png"))


def page_gone(window, artifacts):
    url = os.environ["QUILLO_DEMO_URL"].replace("result1.html", "closed1.html")
    gone = url.replace("closed1.html", "result5.html")
    window.enter_url(url)
    window.start_download(by_key=False)
    text = error_box(window, artifacts, "window-page-gone.png")
    if '"404 Not Found" for %s' % gone not in text:
        raise e2e.Failure("the error box does not name the gone page: %r" % text)
    lines = []
    for page in ("closed1.html", "result2.html"):
        for line in rp.extract_entries(e2e.read_bytes(os.path.join(e2e.PAGES, page))):
            lines.append(line.decode("cp932") + "\n")
    window.result_area_equals("".join(lines), "result area after the gone page (%d lines)"
                              % len(lines), timeout=15)


def start_browsers(mode, desktop, home, artifacts, started):
    """Starts the mode's browsers on their pages and waits until their
    session files hold them. Returns the address the browser button must
    bring: Firefox's whenever Firefox runs, as the Firefox family comes
    first."""
    site = "http://%s/servlet/" % os.environ["QUILLO_SITE_HOST"]
    # Chromium's first tab shows another site, which the button passes over.
    chromium = ["http://other.example/", site + "result1.html"]
    pages = {live_browsers.Chromium: chromium, live_browsers.ChromiumAsVivaldi: chromium,
             live_browsers.Firefox: [site + "result2.html"]}
    for kind in BROWSERS[mode]:
        log = os.path.join(artifacts, "%s-%s.log" % (kind.TOOL, mode))
        started.append(kind(desktop, home, pages[kind], log))
    for browser in started:
        browser.wait_for_session(pages[type(browser)], timeout=60)
    return pages[BROWSERS[mode][-1]][-1]


def pick_up_address(window, expected, artifacts, mode):
    desktop = window.desktop
    if mode == "browser-firefox":
        window.click(URL_FIELD)
        desktop.keys("alt+i")
    else:
        window.click(BROWSER_BUTTON)
    shot = os.path.join(artifacts, "window-%s.png" % mode)

    def probe():
        if desktop.visible_windows(ERROR_BOX_NAME):
            desktop.screenshot(shot)
            raise e2e.Failure("an error box appeared instead of the address")
        return window.copy_all(URL_FIELD) == expected

    e2e.poll("URL field holding %s after the browser button" % expected, probe,
             timeout=15, interval=0.3)
    e2e.log("the browser button put %s into the URL field" % expected)
    desktop.screenshot(shot)


def inside(mode, program, artifacts):
    e2e.exit_on_signals()
    os.makedirs(artifacts, exist_ok=True)
    display = window = home = None
    browsers = []
    try:
        display = VirtualDisplay(os.path.join(artifacts, "xvfb-%s.log" % mode))
        e2e.log("Xvfb on display %s, demo site %s in namespace %s"
                % (display.name, os.environ["QUILLO_DEMO_URL"], os.environ["QUILLO_NETNS"]))
        desktop = Desktop(display.name)
        if mode in BROWSERS:
            home = live_browsers.Home("xdg-config" if mode == "browser-vivaldi" else ".config")
            expected = start_browsers(mode, desktop, home, artifacts, browsers)
        # Started after the browsers, so that its window is mapped above theirs.
        window = Window(desktop, program, os.path.join(artifacts, "quillo-%s.log" % mode), home)
        window.wait_shown()
        if mode == "download":
            download(window, artifacts)
        elif mode == "download-https":
            download(window, artifacts, "https")
        elif mode == "page2-fails":
            page2_fails(window, artifacts)
        elif mode == "page-gone":
            page_gone(window, artifacts)
        else:
            pick_up_address(window, expected, artifacts, mode)
    finally:
        if window is not None:
            window.stop()
        for browser in browsers:
            browser.stop()
            browser.keep_files(os.path.join(artifacts, "%s-%s" % (browser.TOOL, mode)))
        if home is not None:
            home.remove()
        if display is not None:
            display.stop()
    e2e.log("PASS")


def main():
    args = sys.argv[1:]
    if args[-1:] == ["--inside"]:
        try:
            inside(args[0], os.path.abspath(args[1]), os.path.abspath(args[2]))
        except e2e.Failure as failure:
            print("FAIL: %s" % failure, flush=True)
            sys.exit(1)
        return
    if len(args) != 3 or args[0] not in MODES:
        sys.exit(__doc__)
    e2e.require_root("the window against the demo site")
    e2e.require_tools(*X_TOOLS + tuple(kind.TOOL for kind in BROWSERS.get(args[0], ())))
    e2e.run_inside_demo_site(
        "win-" + args[0].split("-")[0],
        [os.path.abspath(__file__), args[0], os.path.abspath(args[1]), os.path.abspath(args[2])])


if __name__ == "__main__":
    main()
