"""The Debian package as a user gets it, unpacked into ROOT (the e2e tests
then run its programs from there; nothing is installed): its files, its
control fields, its desktop entry and lintian's verdict.

Usage: deb_check.py DEB VERSION ROOT
"""

import os
import re
import shutil
import subprocess
import sys

import e2e_support as e2e

FILES = {"usr/bin/quillo", "usr/bin/quillo-cli", "usr/share/applications/quillo.desktop",
         "usr/share/doc/quillo/changelog.gz", "usr/share/doc/quillo/copyright",
         "usr/share/man/man1/quillo.1.gz", "usr/share/man/man1/quillo-cli.1.gz"}
FILES |= {"usr/share/icons/hicolor/%dx%d/apps/quillo.png" % (n, n) for n in (32, 48, 64, 128)}
# Without Qt the window does not start, without libssl3 no https page is
# fetched (dpkg-shlibdeps finds both; Debian 13 names them with "t64"), nor
# checked without the system's roots; the lite-page button needs xdg-open,
# the captions a Japanese font.
DEPENDS = {"libqt6widgets6", "libssl3", "ca-certificates", "xdg-utils",
           "fonts-ipafont-gothic | fonts-noto-cjk"}


def run(*argv):
    done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=120,
                          check=False)
    return done.returncode, done.stdout.decode("utf-8", "replace").strip()


def check(deb, version, root):
    shutil.rmtree(root, ignore_errors=True)
    if run("dpkg-deb", "-x", deb, root)[0] != 0:
        raise e2e.Failure("dpkg-deb -x failed")
    found = {os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs}
    if found != FILES:
        raise e2e.Failure("files: missing %s, unexpected %s"
                          % (sorted(FILES - found), sorted(found - FILES)))

    field = {name: run("dpkg-deb", "-f", deb, name)[1]
             for name in ("Package", "Version", "Architecture", "Depends", "Description")}
    want = {"Package": "quillo", "Version": version,
            "Architecture": run("dpkg", "--print-architecture")[1]}
    if any(field[name] != value for name, value in want.items()):
        raise e2e.Failure("fields %s, expected %s" % (field, want))
    if not any(ord(c) > 0x3000 for c in field["Description"]):
        raise e2e.Failure("no Japanese line in the description")
    names = {re.sub(r"t64$", "", d.strip().split(" (")[0]) for d in field["Depends"].split(",")}
    if not DEPENDS <= names:
        raise e2e.Failure("Depends lacks %s: %s" % (sorted(DEPENDS - names), field["Depends"]))
    e2e.log("Depends: " + field["Depends"])

    status, out = run("desktop-file-validate", root + "/usr/share/applications/quillo.desktop")
    if status != 0 or out:
        raise e2e.Failure("desktop-file-validate: " + out)
    status, out = run("lintian", "--display-info", "--fail-on", "error", deb)
    e2e.log("lintian: " + out)
    if status != 0:
        raise e2e.Failure("lintian reports errors")
    if "hardening-" in out:
        raise e2e.Failure("lintian: built without the release's hardening flags")


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    e2e.require_tools("dpkg-deb", "desktop-file-validate", "lintian")
    try:
        check(*sys.argv[1:])
    except e2e.Failure as failure:
        print("FAIL: %s" % failure, flush=True)
        sys.exit(1)
    e2e.log("PASS")


if __name__ == "__main__":
    main()
