"""Questions about X windows for the drivers that click through them.

A window may go away between two calls of the X tools (an error box
closing after OK, a window just found by a search): a question about a
window that is gone answers "gone" (None, or no entry in a list), never an
exception. Whether a gone window is a fault is the caller's to say.
"""

import subprocess


def _xdotool(env, *args):
    done = subprocess.run(["xdotool", *args], env=env, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=15, check=False)
    return done.returncode, done.stdout.decode("utf-8", "replace"), done.stderr.decode(
        "utf-8", "replace")


def geometry(window, env=None):
    """(x, y, width, height) of the window's client area on the screen, or
    None when the window is gone."""
    _, out, _ = _xdotool(env, "getwindowgeometry", "--shell", str(window))
    fields = dict(line.split("=", 1) for line in out.split() if "=" in line)
    try:
        return int(fields["X"]), int(fields["Y"]), int(fields["WIDTH"]), int(fields["HEIGHT"])
    except (KeyError, ValueError):
        return None


def visible(name, env=None):
    """The mapped windows named exactly name that have an area, in the
    order the server lists them. Hidden leader windows and Wine's one pixel
    wide task-bar windows bear the name too and are left out, and so is a
    window that goes while it is looked at."""
    # A search walks the whole tree; a window that goes during the walk
    # makes xdotool stop with an X error and list only part: walk again.
    for _ in range(5):
        status, out, err = _xdotool(env, "search", "--onlyvisible", "--name", "^%s$" % name)
        if status == 0 or "X Error" not in err:
            break
    shown = []
    for window in out.split():
        place = geometry(window, env)
        if place is not None and place[2] > 1:
            shown.append(window)
    return shown
