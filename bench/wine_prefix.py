"""The Wine prefix all talhost runs share, with a display and a wineserver kept
warm for the whole run, and Windows paths of the corpus's files."""
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

from bench_common import log

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "pylib"))
from wine_setup import QUIET, make_prefix, start_xvfb, stop_xvfb, wine_env, winpath  # noqa: E402,F401 (winpath: for the benchmark)


class Wine:
    """One prefix, a display and a warm wineserver for all talhost runs."""

    def __init__(self, prefix, wine, wineserver):
        self.prefix, self.wine, self.wineserver = Path(prefix), wine, wineserver
        self.env = wine_env(dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all"))
        self.xvfb = self.server = None
        self.display_note = "caller's display"

    def start(self):
        if not self.env.get("DISPLAY"):
            self.display_note = "no display"
            if shutil.which("Xvfb"):
                self.xvfb = start_xvfb(self.env, range(210, 260), "1024x768x24")
                if self.xvfb is not None:
                    self.display_note = "private Xvfb"
        if not (self.prefix / "system.reg").exists():
            log(f"creating Wine prefix {self.prefix}")
            make_prefix(self.wine, self.wineserver, self.env, timeout=900)
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
            subprocess.run([self.wineserver, "-k"], env=self.env, timeout=60, **QUIET)
            try:
                self.server.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.server.kill()
        stop_xvfb(self.xvfb)

    def version(self):
        try:
            return subprocess.run([self.wine, "--version"], capture_output=True, env=self.env,
                                  timeout=60).stdout.decode().strip()
        except OSError:
            return "unknown"

