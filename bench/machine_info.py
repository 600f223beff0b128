"""The machine and the working tree a run measured, for the report's header."""
import os
import platform
import subprocess
from pathlib import Path

from bench_common import ROOT, run


def machine_description(wine):
    cpu = "unknown"
    for line in Path("/proc/cpuinfo").read_text().splitlines():
        if line.startswith("model name"):
            cpu = line.split(":", 1)[1].strip()
            break
    mem_kb = 0
    for line in Path("/proc/meminfo").read_text().splitlines():
        if line.startswith("MemTotal:"):
            mem_kb = int(line.split()[1])
    busy = subprocess.run(["ps", "-eo", "pcpu,ni,comm", "--sort=-pcpu", "--no-headers"], capture_output=True)
    top = [" ".join(line.split()) for line in busy.stdout.decode().splitlines()[:8]]
    return {"cpu": cpu, "cores": os.cpu_count(), "memory_gib": round(mem_kb / 1024 / 1024, 1),
            "kernel": platform.release(), "wine": wine.version(), "loader": wine.wine, "python": platform.python_version(),
            "loadavg_start": list(os.getloadavg()), "busy_processes_start": top}


def git_state():
    try:
        head = run("git", "-C", ROOT, "rev-parse", "--short", "HEAD")
        dirty = run("git", "-C", ROOT, "status", "--porcelain", "--", "standin", "media", "plugin", "host")
        return {"commit": head, "library_sources_modified": bool(dirty)}
    except (subprocess.CalledProcessError, OSError):
        return {"commit": "unknown", "library_sources_modified": None}

