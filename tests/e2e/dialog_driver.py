"""Runs a program whose windows a test reads and drives with windriver.exe.

    with DrivenProgram(folder, "devselect.exe") as prog:
        dumps = prog.drive("Select Audio Device", "dump", ("settext", 1014, ""), ("click", 1), "gone")
        assert prog.finish() == 0

Each `drive` call is one windriver run: it waits for the caption (in that
program's process only, told apart by its full path), runs the steps in order and returns one dict per
"dump" step. See tests/tools/windriver.cpp for the commands.
"""
import json
import os
import subprocess
import tempfile
import time
from pathlib import Path

from conftest import DIST, WINE, wine_cmd, winpath

# Under the 32-bit leg everything runs through an emulator: allow for it.
WAIT_SECONDS = float(os.environ.get("TANDREL_DIALOG_WAIT", "120"))


class Dump(dict):
    """One window as windriver dumps it, with its controls by id."""

    @property
    def by_id(self):
        return {c["id"]: c for c in self["controls"] if c["id"] != -1}

    def control(self, control_id):
        return self.by_id[control_id]

    def texts(self):
        return [c["text"] for c in self["controls"]]


def _spawn(cmd, env, cwd=None):
    """Starts a Wine process with its output going to unnamed files, not pipes:
    a Wine process can hand its standard handles on to the wineserver and to
    the desktop process it starts, which outlive it, so a pipe would not end."""
    out, err = tempfile.TemporaryFile(), tempfile.TemporaryFile()
    proc = subprocess.Popen(cmd, cwd=cwd, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err)
    return proc, out, err


def _read(f):
    f.seek(0)
    data = f.read()
    f.close()
    return data


class DrivenProgram:
    def __init__(self, folder, exe, *args, env=None, cwd=None):
        self.folder = Path(folder)
        self.exe = exe
        self.driver = self.folder / "windriver.exe"
        if not self.driver.exists():
            self.driver = DIST / "windriver.exe"
        full_env = dict(os.environ)
        full_env.update(env or {})
        self.env = full_env
        self.proc, self._out, self._err = _spawn(wine_cmd(self.folder / exe, *args), full_env, cwd or self.folder)
        self.stdout = b""
        self.stderr = b""

    def drive(self, caption, *steps, check=True):
        # Windows of this program only, by its full path: other runs that share
        # the Wine prefix show theirs to every driver, whatever their display.
        cmd = [WINE, str(self.driver), "--timeout", str(int(WAIT_SECONDS * 1000)), "--exe",
               winpath(self.folder / self.exe), "wait", caption]
        for step in steps:
            parts = [step] if isinstance(step, str) else list(step)
            cmd += [";"] + [str(p) for p in parts]
        driver, out_file, err_file = _spawn(cmd, self.env)
        try:
            # A program that ends while the driver still waits for its window
            # will never show it: stop waiting then.
            deadline = time.monotonic() + WAIT_SECONDS * 2 + 60
            while driver.poll() is None and time.monotonic() < deadline:
                if self.proc.poll() is not None:
                    try:
                        driver.wait(timeout=5)
                    except subprocess.TimeoutExpired:
                        pass
                    break
                time.sleep(0.1)
        finally:
            if driver.poll() is None:
                driver.kill()
                driver.wait()
        out, err = _read(out_file), _read(err_file).decode(errors="replace")
        if check and driver.returncode != 0:
            raise AssertionError(f"windriver {steps} exited {driver.returncode}: {err}"
                                 f" (program running: {self.proc.poll() is None})")
        return [Dump(json.loads(line)) for line in out.decode("utf-8").splitlines() if line.strip()]

    def finish(self, timeout=None):
        """Waits for the program to end; returns its exit code."""
        self.proc.wait(timeout=timeout or WAIT_SECONDS)
        self._collect()
        return self.proc.returncode

    def _collect(self):
        if self._out is not None:
            self.stdout, self.stderr = _read(self._out), _read(self._err)
            self._out = self._err = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self._collect()
        return False


def read_ini(path):
    """[(section, key, value)] in file order, as the profile functions wrote them."""
    entries = []
    section = None
    for raw in Path(path).read_bytes().decode("latin-1").splitlines():
        line = raw.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1]
        elif "=" in line:
            key, value = line.split("=", 1)
            entries.append((section, key.strip(), value.strip()))
    return entries


def ini_section(path, section):
    return {k: v for s, k, v in read_ini(path) if s == section}
