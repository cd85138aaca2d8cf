#!/usr/bin/env python3
"""quillo-cli.exe under Wine against a server on 127.0.0.1:80.

The server answers for the site host (listings.example, mapped to 127.0.0.1
by the hosts file of the network namespace that run-wine.sh sets up) and
records the bytes of every request. The first page's address has Japanese
characters, given on the command line as a user types them. Checked: the
exact HEAD and GET bytes (that address as CP932), the entry lines and status
texts as UTF-8 when redirected, the entry lines again written to a console
(Wine's console on a pseudo-terminal), and, once the server is gone, the
refused connection's message, which must be the system's own text
(FormatMessage, as quillo-probe prints it) trimmed, with its full stop; and
the messages of a page answered 404 and of an address without its scheme.

Exit 77 (skipped) when the host does not lead to 127.0.0.1 or port 80 cannot
be had.
"""

import argparse
import os
import pty
import re
import select
import socket
import subprocess
import sys
import threading

HOST = "listings.example"  # the default site host
SKIP = 77

# The markers have one Python copy, the reference parser's.
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import reference_parser as rp  # noqa: E402

ENTRY_START = rp.ENTRY_START.decode("ascii")


def entry(body):
    return ENTRY_START + body + "</TABLE>"


def anchor(path, text):
    return '<a href="%s">%s</a>' % (path, text)


# "表" ends in the byte of a backslash.
FIRST = "/servlet/検索結果?地域=東京&表示=1"

# Page bodies (CP932) and the lines quillo must make of them.
PAGES = {
    FIRST: "\r\n".join([
        "<html><body>",
        anchor("/servlet/p2", "2"),
        anchor("/servlet/p3", "3"),
        anchor("/servlet/p2", "次のページ"),
        entry('<A HREF="/servlet/d1" target=_BLANK>株式会社ソフト表示</A>'
              '<FONT size="-1">東京都千代田区</FONT>'),
        entry("ｱｲｳ商店　大阪"),
        "</body></html>",
    ]),
    "/servlet/p2": entry('<A HREF="/servlet/d2">ダ<FONT size="-1">イ</FONT>ニング</A>'),
    "/servlet/p3": "<html>" + entry("") + entry("最後") + "<TABLE>",
}
LINES = [
    '<A HREF="/servlet/d1">株式会社ソフト表示東京都千代田区',
    "ｱｲｳ商店　大阪",
    '<A HREF="/servlet/d2">ダイニング',
    "",
    "最後",
]
STATUS = [
    "ダウンロード開始",
    " 1ページ目 / 全 3ページ 処理開始",
    " 2ページ目 / 全 3ページ 処理開始",
    " 3ページ目 / 全 3ページ 処理開始",
    "ダウンロード完了",
]


class Server:
    def __init__(self):
        self.listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 80))
        self.listener.listen(16)
        self.listener.settimeout(0.2)
        self.requests = []
        self.stopping = False
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def serve(self):
        while not self.stopping:
            try:
                conn, _ = self.listener.accept()
            except socket.timeout:
                continue
            with conn:
                conn.settimeout(10)
                request = b""
                try:
                    while b"\r\n\r\n" not in request:
                        chunk = conn.recv(4096)
                        if not chunk:
                            break
                        request += chunk
                except socket.timeout:
                    pass
                self.requests.append(request)
                conn.sendall(self.reply(request))

    @staticmethod
    def reply(request):
        parts = request.split(b" ")
        path = parts[1].decode("cp932", "replace") if len(parts) > 2 else ""
        if path not in PAGES:
            return b"HTTP/1.0 404 Not Found\r\n\r\n"
        head = b"HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=Shift_JIS\r\n\r\n"
        if request.startswith(b"HEAD "):
            return head
        return head + PAGES[path].encode("cp932")

    def stop(self):
        self.stopping = True
        self.thread.join()
        self.listener.close()


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def equal(self, name, got, expected):
        if got == expected:
            self.passed += 1
            print("ok      %s" % name)
        else:
            self.failed += 1
            print("FAILED  %s\n  got:      %r\n  expected: %r" % (name, got, expected))


def run(args, *program):
    result = subprocess.run([args.runner, *program], capture_output=True, timeout=180)
    return result.returncode, result.stdout, result.stderr


def run_on_console(args, *program):
    """Runs with standard output on a pseudo-terminal, which Wine makes the
    program's console; returns what the terminal got."""
    master, slave = pty.openpty()
    process = subprocess.Popen([args.runner, *program], stdin=subprocess.DEVNULL,
                               stdout=slave, stderr=subprocess.DEVNULL)
    os.close(slave)
    shown = b""
    while select.select([master], [], [], 180)[0]:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the terminal is closed when the program ends
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    process.wait(timeout=60)
    # Wine's console draws on the terminal: it hides and shows the cursor
    # around each write, and may step over blanks instead of writing them.
    shown = re.sub(rb"\x1b\[(\d*)C", lambda m: b" " * int(m.group(1) or 1), shown)
    return re.sub(rb"\x1b\[[0-9;?]*[A-Za-z]", b"", shown).replace(b"\r", b"")


def lines(data):
    # A Windows console program writes CR LF line ends.
    return data.decode("utf-8", "replace").replace("\r\n", "\n").split("\n")[:-1]


def shown_message(system_text):
    """The system's text as quillo shows it: trailing spaces, control
    characters and full stops removed, a full stop added after a character
    above "." (the first byte of a double-byte one)."""
    data = system_text.encode("cp932", "replace")
    while data and (data[-1] <= 0x20 or data[-1] == ord(".")):
        data = data[:-1]
    if data:
        last = data[-2] if len(data) > 1 and is_trail(data, len(data) - 1) else data[-1]
        if last > ord("."):
            data += b"."
    return data.decode("cp932")


def is_trail(data, index):
    leads = 0
    while index - leads - 1 >= 0 and is_lead(data[index - leads - 1]):
        leads += 1
    return leads % 2 == 1


def is_lead(byte):
    return 0x81 <= byte <= 0x9F or 0xE0 <= byte <= 0xFC


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runner", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--host", default=HOST)
    args = parser.parse_args()
    host = args.host

    try:
        if socket.gethostbyname(host) != "127.0.0.1":
            raise OSError
    except OSError:
        print("skipped: %s does not lead to 127.0.0.1 here (run tests/windows/run-wine.sh)" % host)
        return SKIP
    try:
        server = Server()
    except OSError as error:
        print("skipped: cannot listen on 127.0.0.1:80 (%s)" % error)
        return SKIP

    checks = Checks()
    url = "http://%s%s" % (host, FIRST)
    try:
        code, out, err = run(args, args.cli, url)
        requests = list(server.requests)
        shown = run_on_console(args, args.cli, url)
        # Pages not had: one the server answers 404 for, an address that
        # cannot be fetched.
        gone = run(args, args.cli, "http://%s/servlet/gone" % host)
        unfetchable = run(args, args.cli, "htp://%s%s" % (host, FIRST))
    finally:
        server.stop()
    checks.equal("run completes", code, 0)
    checks.equal("entry lines", lines(out), LINES)
    checks.equal("status texts", lines(err), STATUS)
    expected = []
    for path in (FIRST, "/servlet/p2", "/servlet/p3"):
        expected.append(b"HEAD %s HTTP/1.0\r\n\r\n" % path.encode("cp932"))
        expected.append(b"GET %s HTTP/1.0\r\n\r\n" % path.encode("cp932"))
    checks.equal("request bytes", requests, expected)
    checks.equal("entry lines on a console", lines(shown), LINES)
    checks.equal("gone page", (gone[0], lines(gone[2])[-1:]),
                 (1, ['The server answered "404 Not Found" for http://%s/servlet/gone.' % host]))
    checks.equal("unfetchable address", (unfetchable[0], lines(unfetchable[2])[-1:]),
                 (1, ["The address must begin with http:// or https://."]))

    # Nothing listens on port 80 any more.
    code, text, _ = run(args, args.probe, "error-text", "10061")  # WSAECONNREFUSED
    system_text = text.decode("utf-8").strip("\r\n") if code == 0 else ""
    code, out, err = run(args, args.cli, url)
    checks.equal("refused run fails", code, 1)
    checks.equal("refused run prints no line", lines(out), [])
    checks.equal("refused message is the system's text",
                 lines(err), [STATUS[0], shown_message(system_text)])
    print("system text for WSAECONNREFUSED: %r" % system_text)

    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 1 if checks.failed else 0


if __name__ == "__main__":
    sys.exit(main())
