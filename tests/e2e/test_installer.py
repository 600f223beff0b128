"""The release's Windows installer, run silently under Wine into a player's folder
that holds the user's own media library, settings and plug-ins, which it must
leave byte for byte; and what it says about that media library."""
import os
import shutil
import struct
import subprocess
import time
import wave
import zipfile
from pathlib import Path

import pytest

from conftest import ARCH, BUILD, DIST, WINE, query, winpath, write_ini

RELEASE = Path(os.environ.get("TANDREL_RELEASE", BUILD / "release"))
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
ADDED = {"Plugins/lumesrc.dll", "devselect.exe", "lumesrc-uninstall.exe"}

if ARCH != "i686":
    pytest.skip("the installer is a 32-bit program; the i686 leg runs it", allow_module_level=True)


def release_file(suffix):
    found = sorted(RELEASE.glob(f"lumesrc-*-{suffix}"))
    assert len(found) == 1, f"expected one lumesrc-*-{suffix} in {RELEASE} (scripts/release.sh builds it)"
    return found[0]


def snapshot(folder):
    """Every file's bytes and every folder (None) under `folder`, by relative path."""
    out = {}
    for path in sorted(folder.rglob("*")):
        out[path.relative_to(folder).as_posix()] = None if path.is_dir() else path.read_bytes()
    return out


def setup_log():
    """The installer's log in the prefix's %TEMP% (its place depends on Wine's version)."""
    users = Path(os.environ["WINEPREFIX"]) / "drive_c" / "users"
    return list(users.glob("*/Temp/lumesrc-setup.log")) + list(users.glob("*/AppData/Local/Temp/lumesrc-setup.log"))


def install(folder):
    """Runs the installer silently into `folder`; returns its log's text."""
    for old in setup_log():
        old.unlink()
    proc = subprocess.run([WINE, str(release_file("setup.exe")), "/S", "/D=" + winpath(folder)],
                          capture_output=True, timeout=600)
    assert proc.returncode == 0, proc.stderr.decode(errors="replace")
    logs = setup_log()
    assert len(logs) == 1, "the installer wrote no log in %TEMP%"
    return logs[0].read_text(errors="replace")  # universal newlines: lines end in \n


def uninstall_entries():
    """InstallLocation of every Add/Remove Programs entry of ours."""
    proc = subprocess.run([WINE, "reg", "query", UNINSTALL_KEY, "/s"], capture_output=True, timeout=300)
    entries, current = [], {}
    for line in proc.stdout.decode(errors="replace").splitlines() + [""]:
        if line.startswith("HKEY_") or not line.strip():
            if current.get("DisplayName") == "Tandrel Mini companions":
                entries.append(current.get("InstallLocation"))
            current = {}
        else:
            parts = line.split(None, 2)
            if len(parts) == 3:
                current[parts[0]] = parts[2]
    return entries


def with_version(source, target, version):
    """Copies a module and sets the file version of its version resource."""
    data = bytearray(source.read_bytes())
    fixed = data.index(struct.pack("<I", 0xFEEF04BD))  # VS_FIXEDFILEINFO: signature, struct version, MS, LS
    struct.pack_into("<II", data, fixed + 8, version[0] << 16 | version[1], version[2] << 16 | version[3])
    target.write_bytes(data)


def test_install_query_upgrade_uninstall_leave_the_players_files(tmp_path):
    # No blank: Wine quotes such an argument, and the installer takes /D= unquoted only.
    player = tmp_path / "TandrelMini"
    (player / "Plugins").mkdir(parents=True)
    (player / "bass.dll").write_bytes(b"MZ the user's own media library")
    (player / "Plugins" / "in_other.dll").write_bytes(b"another plug-in of the player")
    write_ini(player, {"Tandrel": {"OnlyWav": 0, "WaveDevice": 2, "WaveBufferSize": 64},
                       "SACD": {"asio_mode": 1, "dsd_limit": 2}})
    before = snapshot(player)

    log = install(player)
    installed = snapshot(player)
    assert set(installed) - set(before) == ADDED
    assert {k: installed[k] for k in before} == before
    with zipfile.ZipFile(release_file("win32.zip")) as z:
        assert installed["Plugins/lumesrc.dll"] == z.read("lumesrc.dll")
        assert installed["devselect.exe"] == z.read("devselect.exe")
    assert "Note: the bass.dll in " + winpath(player) + " carries no version information" in log

    # The player, played by talhost from its folder with the installed plug-in;
    # the stand-in library in place of the user's for this query only.
    with wave.open(str(tmp_path / "Take Five.wav"), "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"\0\0" * 12000)
    borrowed = [p for p in DIST.glob("*.dll") if p.name != "lumesrc.dll"] + [DIST / "talhost.exe"]
    try:
        for item in borrowed:
            shutil.copy2(item, player / item.name)
        items = query(player, "--plugin", winpath(player / "Plugins" / "lumesrc.dll"), tmp_path / "Take Five.wav")
    finally:
        for item in borrowed:
            (player / item.name).unlink(missing_ok=True)
        (player / "bass.dll").write_bytes(before["bass.dll"])
    assert [(i["length_ms"], i["title"]) for i in items] == [(1500, "Take Five")]
    assert snapshot(player) == installed

    # An upgrade over an earlier install replaces both binaries and keeps one entry.
    (player / "Plugins" / "lumesrc.dll").write_bytes(b"an earlier release")
    (player / "devselect.exe").write_bytes(b"an earlier release")
    install(player)
    assert snapshot(player) == installed
    assert uninstall_entries() == [winpath(player)]

    # The uninstaller hands over to a copy of itself in %TEMP% and returns: wait for it.
    subprocess.run([WINE, str(player / "lumesrc-uninstall.exe"), "/S"], capture_output=True, timeout=300)
    deadline = time.monotonic() + 300
    while (player / "lumesrc-uninstall.exe").exists() and time.monotonic() < deadline:
        time.sleep(1)
    assert snapshot(player) == before
    assert uninstall_entries() == []


@pytest.mark.parametrize("version, note", [
    ((2, 3, 20, 0), "Warning: the media library bass.dll in {} is release 2.3.20.0, older than 2.4.13."),
    ((2, 4, 12, 9), "Warning: the media library bass.dll in {} is release 2.4.12.9, older than 2.4.13."),
    ((2, 4, 13, 0), "The media library bass.dll in {} is release 2.4.13.0.\n"),
    (None, "Note: {} has no bass.dll."),
])
def test_installer_notes_on_the_players_media_library(tmp_path, version, note):
    player = tmp_path / "player"
    player.mkdir()
    if version:
        with_version(DIST / "lumesrc.dll", player / "bass.dll", version)
    log = install(player)
    assert note.format(winpath(player)) in log
    assert ("Warning" in log) == note.startswith("Warning")
    assert (player / "Plugins" / "lumesrc.dll").exists()
