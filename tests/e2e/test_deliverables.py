"""What a user installs: the i686 DLLs and programs import only Windows system DLLs."""
import os
import re
import subprocess
from pathlib import Path

import pytest

from conftest import BUILD

I686 = Path(os.environ.get("TANDREL_I686_DIST", BUILD / "i686" / "dist"))
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "wininet.dll", "winmm.dll", "advapi32.dll",
               "comctl32.dll", "shell32.dll", "ole32.dll", "psapi.dll", "api-ms-win-crt-runtime-l1-1-0.dll"}


def objdump(path):
    return subprocess.run(["i686-w64-mingw32-objdump", "-p", str(path)], capture_output=True, text=True,
                          check=True).stdout


def exports(dump):
    table = dump.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) < 2:
        return []
    return re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table[1].split("\n\n", 1)[0], re.M)


def imports(dump):
    return {m.lower() for m in re.findall(r"DLL Name: (\S+)", dump)}


def test_plugin_exports_exactly_its_entry_undecorated():
    dump = objdump(I686 / "lumesrc.dll")
    assert "file format pei-i386" in dump
    assert exports(dump) == ["winampGetInModule2"]


@pytest.mark.parametrize("name", ["lumesrc.dll", "talhost.exe", "devselect.exe", "bass.dll"])
def test_deliverables_import_only_system_dlls(name):
    path = I686 / name
    if not path.exists():
        pytest.skip(f"{name} is not built")
    extra = imports(objdump(path)) - SYSTEM_DLLS
    # The media library is bound at run time, never linked.
    assert extra == set(), f"{name} imports {extra}"
