#!/usr/bin/env python3
"""quillo-cli.exe under Wine on the demo site moved to https: the same runs
as tests/e2e/cli_e2e.py's https mode (the https address, the http address
answered 301, and the three certificates that must be refused before a
request is sent), with the program run in a throw-away Wine prefix started
inside the site's network namespace (Wine's sockets are its server's). The
site's throw-away CA goes into the prefix's current-user Root store first,
by quillo-add-root.exe. First, quillo-probe.exe's TLS session is refused
by a server that speaks TLS 1.1 at most (openssl s_server): Wine's Schannel
would take it.

Usage: https_check.py RUNNER QUILLO_CLI_EXE QUILLO_ADD_ROOT_EXE QUILLO_PROBE_EXE
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
import cli_e2e  # noqa: E402
import e2e_support as e2e  # noqa: E402


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


OLD_SERVER_PORT = 8443


def check_old_protocol_refused(runner, probe, folder):
    """The protocol is checked before the certificate: any one will do."""
    host = os.environ["QUILLO_SITE_HOST"]
    key, cert = os.path.join(folder, "old.key"), os.path.join(folder, "old.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                    "ec_paramgen_curve:P-256", "-nodes", "-subj", "/CN=" + host, "-days", "1",
                    "-keyout", key, "-out", cert], capture_output=True, timeout=60, check=True)
    server = subprocess.Popen(["openssl", "s_server", "-quiet", "-www", "-tls1_1",
                               "-cipher", "DEFAULT:@SECLEVEL=0", "-accept",
                               "127.0.0.1:%d" % OLD_SERVER_PORT, "-cert", cert, "-key", key],
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    try:
        e2e.poll("openssl s_server listening", lambda: listening(OLD_SERVER_PORT), timeout=30)
        done = subprocess.run([runner, probe, "tls-get", host, str(OLD_SERVER_PORT)],
                              capture_output=True, timeout=120, check=False)
    finally:
        server.kill()
        server.wait()
    shown = done.stdout.decode("utf-8", "replace").strip()
    e2e.compare_text("TLS 1.1 server", shown, "error: The TLS handshake with %s failed: "
                     "the server offers no TLS 1.2 or later" % host)
    e2e.log("TLS 1.1 server: %r" % shown)


def listening(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def inside(runner, cli, add_root, probe):
    prefix = tempfile.mkdtemp(prefix="quillo-wine-https.")
    os.environ.update(WINEPREFIX=prefix, WINEARCH="win64")
    os.environ.pop("DISPLAY", None)
    wine = shutil.which("wine64") or "/usr/lib/wine/wine64"
    wineserver = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
    try:
        subprocess.run([wine, "wineboot", "-i"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=300, check=True)
        ca = os.environ["QUILLO_DEMO_CA"]
        done = subprocess.run([runner, add_root, windows_path(ca)], capture_output=True,
                              timeout=120, check=False)
        if done.returncode != 0:
            raise e2e.Failure("quillo-add-root.exe exited %d: %r" % (done.returncode, done.stderr))

        # A Windows console program ends its lines with CR LF.
        def run_cli(_cli, *args):
            done = subprocess.run([runner, cli, *args], capture_output=True, timeout=120,
                                  check=False)
            return (done.returncode, done.stdout.replace(b"\r\n", b"\n"),
                    done.stderr.replace(b"\r\n", b"\n"))

        cli_e2e.run_cli = run_cli
        check_old_protocol_refused(runner, probe, prefix)
        cli_e2e.inside(cli, "https")
    finally:
        subprocess.run([wineserver, "-k"], timeout=30, check=False)
        shutil.rmtree(prefix, ignore_errors=True)


def main():
    args = sys.argv[1:]
    if args[-1:] == ["--inside"]:
        e2e.exit_on_signals()
        try:
            inside(*args[:4])
        except e2e.Failure as failure:
            print("FAIL: %s" % failure, flush=True)
            sys.exit(1)
        return
    if len(args) != 4:
        sys.exit(__doc__)
    e2e.require_root("quillo-cli.exe against the demo site")
    e2e.run_inside_demo_site("wine-https", [os.path.abspath(__file__)] +
                             [os.path.abspath(a) for a in args], moved=True)


if __name__ == "__main__":
    main()
