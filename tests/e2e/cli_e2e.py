"""quillo-cli against the demo site served by nginx in a network namespace:
every entry of every page in order, the status texts in order, the requests
nginx saw, a run over a page that links one that is gone, and a run whose
further pages cannot be reached.

Usage: cli_e2e.py QUILLO_CLI [https]

https: the site has moved to https; the run from both addresses, then the
servers that must be refused before a request is sent, one asking for an
optional client certificate and one resetting a page in the middle.
"""

import os
import subprocess
import sys

import e2e_support as e2e
import reference_parser as rp

# A second name for the site, used to reach the first page once the site's
# own name leads nowhere.
FRONT_PREFIX = "front."


def run_cli(cli, *args):
    done = subprocess.run([cli, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=60, check=False)
    return done.returncode, done.stdout, done.stderr


def new_log_lines(seen):
    """The access log lines after the first seen ones. nginx writes a line
    before it closes the connection, so a finished run's lines are there."""
    lines = e2e.access_log()
    return lines[seen:], len(lines)


def check_full_run(cli, url, seen, scheme="http", moved=False):
    status, out, err = run_cli(cli, url)
    if status != 0:
        raise e2e.Failure("quillo-cli exited %d: %s" % (status, err.decode("utf-8", "replace")))
    e2e.compare_text("entries (UTF-8)", out.decode("utf-8"), e2e.expected_text("entries.txt"))
    e2e.compare_text("status texts", err.decode("utf-8"), e2e.expected_text("status.txt"))
    lines, seen = new_log_lines(seen)
    e2e.check_requests(lines, e2e.demo_pages(), scheme, moved)

    status, out, err = run_cli(cli, "--raw", url)
    if status != 0:
        raise e2e.Failure("quillo-cli --raw exited %d" % status)
    e2e.compare_bytes("entries (--raw, cp932)", out,
                      e2e.read_bytes(os.path.join(e2e.EXPECTED, "entries.cp932.txt")))
    e2e.compare_text("status texts (--raw)", err.decode("utf-8"), e2e.expected_text("status.txt"))
    lines, seen = new_log_lines(seen)
    e2e.check_requests(lines, e2e.demo_pages(), scheme, moved)
    return seen


def check_second_page_refused(cli, seen):
    host = os.environ["QUILLO_SITE_HOST"]
    front = FRONT_PREFIX + host
    e2e.move_site_host_away(front)
    url = "http://%s/servlet/result1.html" % front
    status, out, err = run_cli(cli, url)
    if status != 1:
        raise e2e.Failure("quillo-cli exited %d, expected 1 for a refused page 2" % status)

    first = len(rp.extract_entries(e2e.read_bytes(os.path.join(e2e.PAGES, "result1.html"))))
    e2e.compare_text("entries before the failure", out.decode("utf-8"),
                     "".join(e2e.expected_lines("entries.txt")[:first]))
    # The run stops while announcing page 2; the message comes last.
    statuses = e2e.expected_lines("status.txt")[:3]
    e2e.compare_text("status texts and message", err.decode("utf-8"),
                     "".join(statuses) + "Connection refused.\n")
    lines, _ = new_log_lines(seen)
    e2e.check_requests(lines, ["result1.html"])


def check_page_gone(cli, seen):
    """closed1.html links a page nginx answers 404 for: status 1 and the
    message naming it, the lines of the pages before it out."""
    url = os.environ["QUILLO_DEMO_URL"].replace("result1.html", "closed1.html")
    status, out, err = run_cli(cli, url)
    message = err.decode("utf-8").rstrip("\n").rsplit("\n", 1)[-1]
    want = 'The server answered "404 Not Found" for %s.' % url.replace("closed1", "result5")
    entries = []
    for page in ("closed1.html", "result2.html"):
        entries += rp.extract_entries(e2e.read_bytes(os.path.join(e2e.PAGES, page)))
    if (status, message) != (1, want) or out.decode("utf-8") != "".join(
            e.decode("cp932") + "\n" for e in entries):
        raise e2e.Failure("gone page: status %d, message %r, %d lines; expected 1, %r, %d lines"
                          % (status, message, out.count(b"\n"), want, len(entries)))
    e2e.log("gone page: %r after %d lines" % (message, len(entries)))
    return new_log_lines(seen)[1]


# The demo site's names beside the site (see scripts/demo-site.sh), the exit
# status a run from each must end with, and the reason its message must give:
# the refused ones before a request is sent (their certificate, TLS below
# 1.2), a whole run where the server asks for an optional client certificate,
# and a page reset in the middle (served by e2e.serve_reset_page).
TLS_CASES = (("self-signed", 1, "self-signed certificate"),
             ("untrusted", 1, "unable to get local issuer certificate"),
             ("wrong-name", 1, "hostname mismatch"),
             ("old-tls", 1, "protocol version"),
             ("client-cert", 0, None),
             ("reset", 1, "Connection reset by peer"))


def check_tls_cases(cli, seen):
    e2e.serve_reset_page()
    for name, want, reason in TLS_CASES:
        host = "%s.%s" % (name, os.environ["QUILLO_SITE_HOST"])
        status, out, err = run_cli(cli, "https://%s/servlet/result1.html" % host)
        message = err.decode("utf-8", "replace").rstrip("\n").rsplit("\n", 1)[-1]
        lines, seen = new_log_lines(seen)
        # Nothing of a cut page is shown; only the reset's system text leaves
        # the host out.
        if (status, want) == (0, 0):
            ok = out.decode("utf-8") == e2e.expected_text("entries.txt") and \
                len(lines) == 2 * len(e2e.demo_pages())
        else:
            ok = (status, out, lines) == (want, b"", []) and reason in message and \
                (host in message or name == "reset")
        if not ok:
            raise e2e.Failure("%s: status %d, %d bytes out, message %r, requests %s; expected %d"
                              % (name, status, len(out), message, lines, want))
        e2e.log("%s: status %d, message %r, %d requests" % (name, status, message, len(lines)))


def inside(cli, mode):
    url = os.environ["QUILLO_DEMO_URL"]
    e2e.log("demo site: %s in namespace %s" % (url, os.environ["QUILLO_NETNS"]))
    seen = len(e2e.access_log())
    if mode == "https":
        seen = check_full_run(cli, os.environ["QUILLO_DEMO_HTTPS_URL"], seen, "https")
        seen = check_full_run(cli, url, seen, "https", moved=True)
        check_tls_cases(cli, seen)
    else:
        seen = check_full_run(cli, url, seen)
        seen = check_page_gone(cli, seen)
        check_second_page_refused(cli, seen)
    e2e.log("PASS")


def main():
    args = sys.argv[1:]
    if args[-1:] == ["--inside"]:
        try:
            inside(os.path.abspath(args[0]), args[1])
        except e2e.Failure as failure:
            print("FAIL: %s" % failure, flush=True)
            sys.exit(1)
        return
    if len(args) not in (1, 2) or args[1:] not in ([], ["https"]):
        sys.exit(__doc__)
    mode = (args[1:] or ["http"])[0]
    e2e.require_root("quillo-cli against the demo site")
    e2e.run_inside_demo_site("cli", [os.path.abspath(__file__), os.path.abspath(args[0]), mode],
                             moved=mode == "https")


if __name__ == "__main__":
    main()
