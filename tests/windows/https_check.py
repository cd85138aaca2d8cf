#!/usr/bin/env python3
"""quillo-cli.exe under Wine on the demo site moved to https: the same runs
as tests/e2e/cli_e2e.py's https mode (the https address, the http address
answered 301, and the servers that must be refused before a request is
sent: three certificates and one speaking TLS 1.1 at most), the program run
in a throw-away Wine prefix started inside the site's network namespace
(Wine's sockets are its server's). The site's throw-away CA goes into the
prefix's current-user Root store first, by quillo-add-root.exe.

Usage: https_check.py RUNNER QUILLO_CLI_EXE QUILLO_ADD_ROOT_EXE
"""

import os
import shutil
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


def inside(runner, cli, add_root):
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
        cli_e2e.inside(cli, "https")
    finally:
        subprocess.run([wineserver, "-k"], timeout=30, check=False)
        shutil.rmtree(prefix, ignore_errors=True)


def main():
    args = sys.argv[1:]
    if args[-1:] == ["--inside"]:
        e2e.exit_on_signals()
        try:
            inside(*args[:3])
        except e2e.Failure as failure:
            print("FAIL: %s" % failure, flush=True)
            sys.exit(1)
        return
    if len(args) != 3:
        sys.exit(__doc__)
    e2e.require_root("quillo-cli.exe against the demo site")
    e2e.run_inside_demo_site("wine-https", [os.path.abspath(__file__)] +
                             [os.path.abspath(a) for a in args], moved=True)


if __name__ == "__main__":
    main()
