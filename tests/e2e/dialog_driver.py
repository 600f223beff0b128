"""Runs a program whose windows a test reads and drives with windriver.exe.

    with DrivenProgram(folder, "devselect.exe") as prog:
        dumps = prog.drive("Select Audio Device", "dump", ("settext", 1014, ""), ("click", 1), "gone")
        assert prog.finish() == 0

Each `drive` call is one windriver run: it waits for the caption (in that
program's process only), runs the steps in order and returns one dict per
"dump" step. See tests/tools/windriver.cpp for the commands.
"""
import json
import os
import subprocess
import time
from pathlib import Path

from conftest import DIST, WINE, wine_cmd

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
        self.proc = subprocess.Popen(wine_cmd(self.folder / exe, *args), cwd=cwd or self.folder, env=full_env,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.stdout = b""
        self.stderr = b""

    def drive(self, caption, *steps, check=True):
        cmd = [WINE, str(self.driver), "--timeout", str(int(WAIT_SECONDS * 1000)), "--exe", self.exe,
               "wait", caption]
        for step in steps:
            parts = [step] if isinstance(step, str) else list(step)
            cmd += [";"] + [str(p) for p in parts]
        driver = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=self.env)
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
            if driver.poll() is None:
                driver.kill()
            out, err = driver.communicate()
        finally:
            if driver.poll() is None:
                driver.kill()
        if check and driver.returncode != 0:
            raise AssertionError(f"windriver {steps} exited {driver.returncode}: {err.decode(errors='replace')}"
                                 f" (program running: {self.proc.poll() is None})")
        self.last_returncode = driver.returncode
        return [Dump(json.loads(line)) for line in out.decode("utf-8").splitlines() if line.strip()]

    def finish(self, timeout=None):
        """Waits for the program to end; returns its exit code."""
        out, err = self.proc.communicate(timeout=timeout or WAIT_SECONDS)
        self.stdout += out
        self.stderr += err
        return self.proc.returncode

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.communicate()
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
