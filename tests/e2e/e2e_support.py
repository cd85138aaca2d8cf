"""Shared pieces of the end-to-end drivers: the root check, re-running a
driver inside the demo site's network namespace, bounded polling and
comparisons that explain themselves when they fail.

A driver runs twice: first as CTest starts it (checks, then hands over to
scripts/demo-site.sh), then inside the namespace with --inside, where
listings.example is nginx on 127.0.0.1:80.
"""

import difflib
import os
import re
import shutil
import signal
import socket
import ssl
import struct
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
DEMO_SITE = os.path.join(REPO, "scripts", "demo-site.sh")
EXPECTED = os.path.join(REPO, "demo", "expected")
PAGES = os.path.join(REPO, "demo", "site", "servlet")

SKIP = 77  # CTest's SKIP_RETURN_CODE for these tests


class Failure(Exception):
    """A check that did not hold; the message says what was seen."""


def log(text):
    print(text, flush=True)


def skip(reason):
    log("skipped: " + reason)
    sys.exit(SKIP)


def require_root(what):
    if os.geteuid() != 0:
        skip("%s needs root: the demo site is nginx on port 80 in a network "
             "namespace of its own (ip netns add). Run the e2e tests as root, "
             "e.g. sudo ctest --preset ci -L e2e" % what)


def require_tools(*tools):
    # Missing tools fail rather than skip: a skipped end-to-end test in CI
    # would hide exactly what it is there to show.
    missing = [t for t in tools if shutil.which(t) is None]
    if missing:
        raise SystemExit("FAIL: missing %s (install them with: scripts/deps.sh test)"
                         % ", ".join(missing))


def run_inside_demo_site(tag, argv, moved=False):
    """Replaces this process with demo-site.sh running argv (plus --inside)
    in a fresh namespace, so that the site's teardown owns every process the
    driver leaves behind. The namespace name carries the pid: tests running
    side by side never share one. moved: the site's port 80 answers 301 to
    https."""
    env = dict(os.environ)
    env["QUILLO_NETNS"] = "quillo-e2e-%s-%d" % (tag, os.getpid())
    env["QUILLO_DEMO_MOVED"] = "1" if moved else "0"
    env.pop("QUILLO_DEMO_ROOT", None)
    sys.stdout.flush()
    cmd = [DEMO_SITE, "run", "--", sys.executable] + argv + ["--inside"]
    os.execve(DEMO_SITE, cmd, env)


def exit_on_signals():
    """Turns SIGTERM and SIGHUP into SystemExit, so that the drivers'
    finally blocks stop what they started when CTest or the site's teardown
    ends them."""
    def handler(signum, _frame):
        raise SystemExit(128 + signum)

    signal.signal(signal.SIGTERM, handler)
    signal.signal(signal.SIGHUP, handler)


def poll(what, probe, timeout, interval=0.1):
    """Calls probe until it returns something true and returns that; fails
    after timeout seconds, naming what was awaited and the last value."""
    deadline = time.monotonic() + timeout
    last = None
    while True:
        last = probe()
        if last:
            return last
        if time.monotonic() >= deadline:
            raise Failure("no %s within %g s (last seen: %s)" % (what, timeout, shorten(last)))
        time.sleep(interval)


def shorten(value, limit=300):
    text = repr(value)
    return text if len(text) <= limit else text[:limit] + "..."


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def expected_text(name):
    return read_bytes(os.path.join(EXPECTED, name)).decode("utf-8")


def expected_lines(name):
    return expected_text(name).splitlines(keepends=True)


def compare_text(what, actual, expected):
    """Fails with the line counts and a short diff unless equal."""
    if actual == expected:
        log("%s: %d lines, as expected" % (what, len(expected.splitlines())))
        return
    got = actual.splitlines(keepends=True)
    want = expected.splitlines(keepends=True)
    diff = list(difflib.unified_diff(want, got, "expected", "actual", n=1))
    raise Failure("%s differs: %d lines, expected %d\n%s"
                  % (what, len(got), len(want), "".join(diff[:40])))


def compare_bytes(what, actual, expected):
    if actual == expected:
        log("%s: %d lines, %d bytes, as expected"
            % (what, expected.count(b"\n"), len(expected)))
        return
    at = next((i for i, (a, b) in enumerate(zip(actual, expected)) if a != b),
              min(len(actual), len(expected)))
    raise Failure("%s differs: %d bytes, expected %d; first difference at byte %d "
                  "(line %d): %s vs %s"
                  % (what, len(actual), len(expected), at, expected[:at].count(b"\n") + 1,
                     shorten(actual[at:at + 40]), shorten(expected[at:at + 40])))


# nginx logs each request as: scheme, request line, Host header ("-" when
# none was sent), status, body bytes, TLS session resumed ("r", "." or "-"
# for http; see scripts/demo-site.sh).
LOG_LINE = re.compile(r'^(https?) (HEAD|GET) (\S+) HTTP/1\.0 "(.*)" (\d{3}) (\d+) [r.-]$')


def access_log():
    with open(os.environ["QUILLO_DEMO_ACCESS_LOG"], encoding="utf-8",
              errors="replace") as f:
        return f.read().splitlines()


def check_requests(lines, pages, scheme="http", moved=False):
    """The log lines of one run over pages (file names in order): a HEAD and
    then a GET for each, HTTP/1.0, each GET bringing the whole file; over
    http with no Host header, over https with the site's. moved: the run
    began with a HEAD over http, answered 301."""
    want = [("http", "HEAD", pages[0], "301")] if moved else []
    for page in pages:
        want += [(scheme, "HEAD", page, "200"), (scheme, "GET", page, "200")]
    got = []
    for line in lines:
        m = LOG_LINE.match(line)
        if not m:
            raise Failure("unexpected access log line: %r" % line)
        sent_over, method, path, host, status, size = m.groups()
        want_host = os.environ["QUILLO_SITE_HOST"] if sent_over == "https" else "-"
        if host != want_host:
            raise Failure("request sent the Host header %r, expected %r: %r"
                          % (host, want_host, line))
        page = path.rsplit("/", 1)[-1]
        if (method, status) == ("GET", "200") and \
                int(size) != os.path.getsize(os.path.join(PAGES, page)):
            raise Failure("GET did not bring the whole page: %r" % line)
        got.append((sent_over, method, page, status))
    if got != want:
        raise Failure("requests were %s, expected %s" % (got, want))
    log("access log: %s" % ", ".join("%s %s %s %s" % r for r in got))


def demo_pages():
    """The result pages a run over the demo site fetches, in order."""
    links = expected_text("links.txt").split()
    return ["result1.html"] + [link.rsplit("/", 1)[-1] for link in links]


def netns_hosts_file():
    """/etc/hosts as this process sees it, after making sure it is the
    namespace's own copy (ip netns exec binds it over the real one), so
    that rewriting it can never touch the machine's hosts file."""
    ns = os.environ.get("QUILLO_NETNS", "")
    own = os.path.join("/etc/netns", ns, "hosts")
    if not ns or not os.path.exists(own):
        raise Failure("not inside a demo site namespace: no %s" % own)
    a, b = os.stat("/etc/hosts"), os.stat(own)
    if (a.st_dev, a.st_ino) != (b.st_dev, b.st_ino):
        raise Failure("/etc/hosts is not the namespace's %s" % own)
    return "/etc/hosts"


def move_site_host_away(front_host):
    """From now on the site's host name leads to 127.0.0.2, where nothing
    listens, so connecting there is refused (a reset), while front_host
    still reaches nginx on 127.0.0.1. A run started at front_host gets its
    first page and then fails on the further pages, whose addresses are
    built on the site's host name."""
    host = os.environ["QUILLO_SITE_HOST"]
    path = netns_hosts_file()
    # Written in place: the namespace's file is bind-mounted here.
    with open(path, "w", encoding="ascii") as f:
        f.write("127.0.0.1\tlocalhost %s\n127.0.0.2\t%s\n" % (front_host, host))
    log("hosts: %s -> 127.0.0.1 (nginx), %s -> 127.0.0.2 (nothing listens)"
        % (front_host, host))


def serve_reset_page():
    """Serves reset.HOST (127.0.0.4:443, left to the tests by
    scripts/demo-site.sh) from a thread: a HEAD is answered 200, a GET with
    half a page and then, once the client waits for more, a reset (RST)."""
    folder = os.path.dirname(os.environ["QUILLO_DEMO_CA"])
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(os.path.join(folder, "reset.pem"), os.path.join(folder, "leaf.key"))
    listener = socket.create_server(("127.0.0.4", 443))
    page = read_bytes(os.path.join(PAGES, "result1.html"))

    def serve():
        while True:
            try:
                with context.wrap_socket(listener.accept()[0], server_side=True) as tls:
                    get = tls.recv(4096).startswith(b"GET ")  # one record, the whole request
                    body = page[:len(page) // 2] if get else b""
                    tls.sendall(b"HTTP/1.0 200 OK\r\n\r\n" + body)
                    if get:
                        time.sleep(0.5)
                        # Closed with nothing lingering: a reset, no close_notify.
                        linger = struct.pack("ii", 1, 0)
                        tls.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, linger)
            except OSError:  # ssl.SSLError included: a client that gave up
                pass

    threading.Thread(target=serve, daemon=True).start()
