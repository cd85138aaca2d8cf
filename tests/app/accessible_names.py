"""The real quillo window as a screen reader finds it over AT-SPI: the URL
field and the result area are editable texts with names, the three buttons
bear their captions and a Press action, the status bar is named and its
text follows a run that the download button's Press action starts.

Usage (CTest runs it so): dbus-run-session -- xvfb-run -a python3 accessible_names.py QUILLO
"""

import os
import subprocess
import sys
import time

import pyatspi

CAPTIONS = ("ライト版", "IEからURLを取得", "CSVでダウンロード")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def poll(what, probe, timeout=20):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    sys.exit("FAIL: %s within %d s" % (what, timeout))


def main():
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_QPA_PLATFORM", None)
    # The accessibility bus and its registry first (D-Bus starts them on
    # this call): an application that comes before them is not listed.
    pyatspi.Registry.getDesktop(0)
    window = subprocess.Popen([sys.argv[1]], env=env)
    try:
        def application():
            return next((a for a in pyatspi.Registry.getDesktop(0)
                         if a is not None and a.name == "quillo"), None)

        app = poll("quillo on the accessibility bus", application)
        named = poll("the window's controls", lambda: {
            n.name: n for n in walk(app) if n.name} if any(
                n.name == "URL" for n in walk(app)) else None)
        for name in ("URL", "結果"):
            named[name].queryEditableText()  # raises when it is not editable text
        actions = {}
        for caption in CAPTIONS:
            button = named.get(caption)
            if button is None or button.getRoleName() != "push button":
                sys.exit("FAIL: no push button %s" % caption)
            action = button.queryAction()
            actions[caption] = [action.getName(i) for i in range(action.nActions)]
            if "Press" not in actions[caption]:
                sys.exit("FAIL: %s has the actions %s" % (caption, actions[caption]))
        bar = named.get("状態")
        if bar is None or bar.getRoleName() != "status bar":
            sys.exit("FAIL: no status bar named 状態")
        print("names and actions:", ["URL", "結果", "状態"], actions)

        # A run with an empty address (no page, nothing fetched): the status
        # texts reach the bus.
        action = named[CAPTIONS[2]].queryAction()
        action.doAction(actions[CAPTIONS[2]].index("Press"))
        poll("the status text over AT-SPI",
             lambda: any(n.name == "ダウンロード完了" for n in walk(bar)))
        print("the status bar reads ダウンロード完了")
    finally:
        window.kill()
        window.wait()
    print("PASS")


if __name__ == "__main__":
    main()
