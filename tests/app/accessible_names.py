"""The real quillo window as a screen reader finds it over AT-SPI: both text
fields and the status bar named, the buttons by their captions with a Press
action, and the status text of a run (started by that action) on the bus.

Usage (CTest runs it so): dbus-run-session -- xvfb-run -a python3 accessible_names.py QUILLO
"""

import os
import subprocess
import sys
import time

import pyatspi


def names(node):
    """Every named object below node, by name."""
    found = {node.name: node} if node.name else {}
    for child in node:
        found.update(names(child) if child is not None else {})
    return found


def poll(what, probe):
    for _ in range(100):
        found = probe()
        if found:
            return found
        time.sleep(0.2)
    sys.exit("FAIL: no %s within 20 s" % what)


# The accessibility bus and its registry first (D-Bus starts them on this
# call): an application that comes before them is not listed.
desktop = pyatspi.Registry.getDesktop(0)
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
env.pop("QT_QPA_PLATFORM", None)
window = subprocess.Popen([sys.argv[1]], env=env)
try:
    app = poll("quillo on the bus", lambda: [a for a in desktop if a and a.name == "quillo"])[0]
    named = poll("URL field", lambda: "URL" in names(app) and names(app))
    for field in ("URL", "結果"):
        named[field].queryEditableText()  # raises for anything else
    # Roles by number: their names differ between AT-SPI versions.
    assert named["状態"].getRole() == pyatspi.ROLE_STATUS_BAR, named["状態"].getRoleName()
    for caption in ("ライト版", "IEからURLを取得", "CSVでダウンロード"):
        button = named[caption]
        actions = [button.queryAction().getName(i) for i in range(button.queryAction().nActions)]
        assert button.getRole() == pyatspi.ROLE_PUSH_BUTTON and "Press" in actions, (
            caption, button.getRoleName(), actions)
    # An empty address: the run starts, then ends in the error box at once.
    button.queryAction().doAction(actions.index("Press"))
    poll("status text ダウンロード開始", lambda: "ダウンロード開始" in names(named["状態"]))
finally:
    window.kill()
    window.wait()
print("PASS: URL, 結果, 状態, the three buttons with Press, the status text")
