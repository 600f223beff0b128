"""The Wine prefix all talhost runs share, with a display and a wineserver kept
warm for the whole run, and Windows paths of the corpus's files."""
import os
import shutil
import subprocess
import time
from pathlib import Path

from bench_common import log


class Wine:
    """One prefix, a display and a warm wineserver for all talhost runs."""

    def __init__(self, prefix, wine, wineserver):
        self.prefix, self.wine, self.wineserver = Path(prefix), wine, wineserver
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all")
        self.env.setdefault("WINEDLLOVERRIDES", "mscoree,mshtml=;winedbg.exe=d")
        self.xvfb = self.server = None
        self.display_note = "caller's display"

    def start(self):
        if not self.env.get("DISPLAY"):
            self.display_note = "no display"
            if shutil.which("Xvfb"):
                for n in range(210, 260):
                    if not Path(f"/tmp/.X11-unix/X{n}").exists() and not Path(f"/tmp/.X{n}-lock").exists():
                        self.xvfb = subprocess.Popen(["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                        for _ in range(50):
                            if Path(f"/tmp/.X11-unix/X{n}").exists():
                                break
                            time.sleep(0.1)
                        self.env["DISPLAY"] = f":{n}"
                        self.display_note = "private Xvfb"
                        break
        if not (self.prefix / "system.reg").exists():
            log(f"creating Wine prefix {self.prefix}")
            self.prefix.mkdir(parents=True, exist_ok=True)
            subprocess.run([self.wine, "wineboot", "--init"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=900)
            subprocess.run([self.wineserver, "-w"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
        if self.server_pid() is None:
            # Our own server, kept up for the whole run so no timing includes its start.
            self.server = subprocess.Popen([self.wineserver, "-f", "-p"], env=self.env, stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL)
            for _ in range(50):
                if self.server_pid() is not None:
                    break
                time.sleep(0.1)

    def server_pid(self):
        """The wineserver of this prefix: it works in a folder server-DEV-INODE named for the prefix
        (under /tmp/.wine-UID or, as Debian builds it, /tmp/wine-XXXXXX)."""
        st = self.prefix.stat()
        folder = f"server-{st.st_dev:x}-{st.st_ino:x}"
        for proc in Path("/proc").iterdir():
            if not proc.name.isdigit():
                continue
            try:
                if Path(os.readlink(proc / "cwd")).name == folder and "wineserver" in (proc / "comm").read_text():
                    return int(proc.name)
            except OSError:
                continue
        return None

    def stop(self):
        if self.server is not None:
            # Ends the processes of our own prefix and the server we started.
            subprocess.run([self.wineserver, "-k"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
            try:
                self.server.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.server.kill()
        if self.xvfb is not None:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)

    def version(self):
        try:
            return subprocess.run([self.wine, "--version"], capture_output=True, env=self.env,
                                  timeout=60).stdout.decode().strip()
        except OSError:
            return "unknown"


def winpath(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")

