"""Helpers shared by the scripts that run the built programs on generated sites and check that
no log line was lost: which files hold log lines, how a run is started (and killed), and a site
copied from a template with a settings file of its own."""
import collections
import fnmatch
import os
import shutil
import signal
import subprocess
import time


def log_names(logdir):
    """The files of the log directory whose lines must never be lost."""
    out = []
    for name in sorted(os.listdir(logdir)):
        path = os.path.join(logdir, name)
        if name.startswith(".") or not os.path.isfile(path) or os.path.islink(path):
            continue
        low = name.lower()
        if (fnmatch.fnmatchcase(low, "inf*.*") or low in ("transfer.log", "menu.log")
                or fnmatch.fnmatchcase(name.upper(), "ALT-INFO.*")
                or fnmatch.fnmatchcase(name.upper(), "ALT-TRAN.*")
                or fnmatch.fnmatchcase(name.upper(), "ALT-MENU.*")):
            out.append(name)
    return out


def read(path):
    with open(path, "rb") as f:
        return f.read()


def run(cmd, env, kill_after=None):
    """Runs cmd; with kill_after (seconds) it gets SIGKILL then. Returns (rc, seconds, killed)."""
    start = time.monotonic()
    proc = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    killed = False
    if kill_after is not None:
        try:
            proc.wait(timeout=kill_after)
        except subprocess.TimeoutExpired:
            proc.send_signal(signal.SIGKILL)
            killed = True
    _, err = proc.communicate()
    return proc.returncode, time.monotonic() - start, killed, err.decode("utf-8", "replace")


def site_from(tpl, root, statemp=None):
    shutil.copytree(tpl, root)
    for sub in ("statemp", "einstellungen", "xdg"):
        os.makedirs(os.path.join(root, sub), exist_ok=True)
    statemp = statemp or os.path.join(root, "statemp")
    os.makedirs(statemp, exist_ok=True)
    with open(os.path.join(root, "infemora.ini"), "w") as f:
        f.write(f"[Verzeichnisse]\r\nINFOPROT={root}/infoprot\r\nSTATEMP={statemp}\r\n"
                f"EINSTELLUNGEN={root}/einstellungen\r\n")
    env = dict(os.environ)
    env.update(INFEMORA_CONFIG=os.path.join(root, "infemora.ini"), XDG_DATA_HOME=os.path.join(root, "xdg"),
               XDG_CONFIG_HOME=os.path.join(root, "xdg"), LC_ALL="C.UTF-8")
    return env


def line_counts(logdir):
    """Every line of the log directory's logs, with how often it stands there."""
    counts = collections.Counter()
    for name in log_names(logdir):
        try:
            counts.update(read(os.path.join(logdir, name)).splitlines())
        except FileNotFoundError:
            pass
    return counts


def count_differences(before, after, limit=3):
    """Lines lost or doubled between two line counts, as short texts; empty when none."""
    out = []
    for line in set(before) | set(after):
        if before[line] != after[line]:
            out.append(f"{before[line]}x before, {after[line]}x after: {line[:80]!r}")
    out.sort()
    return ([f"{len(out)} line(s) differ"] + out[:limit]) if out else []
