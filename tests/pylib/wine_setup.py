"""A display and a Wine prefix for the Python side: the end-to-end tests and the benchmark (scripts/env.sh is the
shell's). Prefixes lie under the build tree, never in ~/.wine."""
import subprocess
import time
from pathlib import Path

QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def wine_env(env):
    """No debug output, no Mono/Gecko installers and no debugger (a crashed program ends at once), unless set."""
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winedbg.exe=d")
    return env


def start_xvfb(env, displays, screen="1280x1024x24"):
    """Xvfb on the first free display of `displays`, named in env["DISPLAY"]; the process, or None when all are taken."""
    for n in displays:
        if not Path(f"/tmp/.X11-unix/X{n}").exists() and not Path(f"/tmp/.X{n}-lock").exists():
            xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", screen, "-nolisten", "tcp"], **QUIET)
            env["DISPLAY"] = f":{n}"
            for _ in range(50):
                if Path(f"/tmp/.X11-unix/X{n}").exists():
                    break
                time.sleep(0.1)
            return xvfb
    return None


def stop_xvfb(xvfb):
    if xvfb is not None:
        xvfb.terminate()
        xvfb.wait(timeout=10)


def make_prefix(wine, wineserver, env, timeout=600):
    """Makes the prefix env["WINEPREFIX"] on first use and waits for its server to end; True when it made one."""
    prefix = Path(env["WINEPREFIX"])
    if (prefix / "system.reg").exists():
        return False
    prefix.mkdir(parents=True, exist_ok=True)
    subprocess.run([wine, "wineboot", "--init"], env=env, timeout=timeout, **QUIET)
    subprocess.run([wineserver, "-w"], env=env, timeout=300, **QUIET)
    return True


def winpath(path):
    """A Linux path as Wine's Windows programs see it (drive Z: is the root)."""
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")
