"""What a user installs: the i686 DLLs and programs import only Windows system DLLs,
and the release zip holds the two stripped binaries and nothing of the test build."""
import hashlib
import os
import re
import subprocess
import zipfile
import zlib
from pathlib import Path

import pytest

from conftest import BUILD
from pe_resources import RT_VERSION, parse_version, read_resources

I686 = Path(os.environ.get("TANDREL_I686_DIST", BUILD / "i686" / "dist"))
RELEASE = Path(os.environ.get("TANDREL_RELEASE", BUILD / "release"))
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "wininet.dll", "winmm.dll", "advapi32.dll",
               "comctl32.dll", "shell32.dll", "ole32.dll", "psapi.dll", "api-ms-win-crt-runtime-l1-1-0.dll"}


def objdump(path, what="-p"):
    return subprocess.run(["i686-w64-mingw32-objdump", what, str(path)], capture_output=True, text=True,
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


@pytest.fixture(scope="module")
def release(tmp_path_factory):
    """The release zip unpacked, and its version from its name (scripts/release.sh builds it)."""
    found = sorted(RELEASE.glob("lumesrc-*-win32.zip"))
    assert len(found) == 1, f"expected one lumesrc-*-win32.zip in {RELEASE}"
    folder = tmp_path_factory.mktemp("release")
    with zipfile.ZipFile(found[0]) as z:
        names = sorted(z.namelist())
        z.extractall(folder)
    with zipfile.ZipFile(RELEASE / found[0].name.replace("-win32.zip", "-win32-symbols.zip")) as z:
        z.extractall(folder / "symbols")
    return folder, names, found[0].name[len("lumesrc-"):-len("-win32.zip")]


def test_release_zip_holds_the_stripped_plugin_and_tool_only(release):
    folder, names, _ = release
    assert names == ["README.txt", "SHA256SUMS", "devselect.exe", "lumesrc.dll"]
    sums = dict(reversed(line.split("  ")) for line in (folder / "SHA256SUMS").read_text().splitlines())
    assert sums == {n: hashlib.sha256((folder / n).read_bytes()).hexdigest() for n in names if n != "SHA256SUMS"}
    dump = objdump(folder / "lumesrc.dll")
    assert "file format pei-i386" in dump
    assert exports(dump) == ["winampGetInModule2"]
    for name in ("lumesrc.dll", "devselect.exe"):
        sections = re.findall(r"^\s*\d+\s+(\S+)", objdump(folder / name, "-h"), re.M)
        assert "symbols stripped" in objdump(folder / name) and not [s for s in sections if s.startswith(".debug")]
        # The debug information lies beside the release, found by name and checksum.
        link = objdump(folder / name, "--dwarf=links")
        debug = (folder / "symbols" / f"{name}.debug").read_bytes()
        # objdump prints the CRC without leading zeros
        crc = re.search(r"CRC value: 0x([0-9a-f]+)", link)
        assert f"Separate debug info file: {name}.debug" in link and crc and int(crc.group(1), 16) == zlib.crc32(debug)


@pytest.mark.parametrize("name, description", [
    ("lumesrc.dll", "Tandrel Mini UPnP input {}"),
    ("devselect.exe", "Tandrel Mini audio device selection"),
])
def test_release_binaries_carry_the_release_version(release, name, description):
    folder, _, version = release
    numbers, strings = parse_version(read_resources(folder / name)[(RT_VERSION, 1)][0])
    major, minor = (int(n) for n in version.split("."))
    assert numbers == (major, minor, 0, 0)
    assert (strings["ProductName"], strings["FileDescription"], strings["FileVersion"]) == \
        ("Tandrel Mini companions", description.format(version), version)
