"""The media library talhost runs against (the stand-in of the build or the
--library folder), checked against talhost's machine type, and the host folders
installed with it."""
import shutil
import struct
from pathlib import Path

# The media library's files as the plug-in loads them; the stand-in builds them all.
LIBRARY_DLLS = ("bass.dll", "bassflac.dll", "basswv.dll", "bass_ape.dll", "bass_aac.dll", "bassalac.dll",
                "basswma.dll", "bassdsd.dll")
# The file of the library that opens each format of the corpus: an add-on, or bass.dll itself.
FORMAT_LIBRARY_FILE = {"flac": "bassflac.dll", "mp3-id3v23": "bass.dll", "mp3-id3v24": "bass.dll", "ogg": "bass.dll",
                       "wv": "basswv.dll", "wav": "bass.dll"}
PE_MACHINES = {0x14C: "32-bit (i386)", 0x8664: "64-bit (x86-64)"}


def library_files(folder):
    """The media library's DLLs in a folder, by the name the plug-in loads (found whatever their case)."""
    found = {item.name.lower(): item for item in Path(folder).iterdir() if item.is_file()}
    return {name: found[name] for name in LIBRARY_DLLS if name in found}


def pe_machine(path):
    """The machine field of a Windows program's PE header, None when it is not one."""
    with open(path, "rb") as f:
        head = f.read(4096)
    if head[:2] != b"MZ" or len(head) < 64:
        return None
    pe = struct.unpack("<I", head[60:64])[0]
    if pe > len(head) - 6 or head[pe:pe + 4] != b"PE\0\0":
        return None
    return struct.unpack("<H", head[pe + 4:pe + 6])[0]


def check_library(folder, dist):
    """The library folder's DLLs, or why talhost of `dist` cannot load them."""
    files = library_files(folder)
    if "bass.dll" not in files:
        return None, f"no bass.dll in {folder}"
    want = pe_machine(Path(dist) / "talhost.exe")
    for name, path in files.items():
        got = pe_machine(path)
        if got != want:
            return None, (f"{path} is {PE_MACHINES.get(got, 'not a Windows DLL')} but talhost.exe in {dist} is "
                          f"{PE_MACHINES.get(want, 'unknown')}: pass the build of the same kind with --dist and --wine")
    return files, None


def install_host(dist, folder, only_wav, library):
    """talhost, the plug-in and the test tools of `dist`, with the media library's DLLs of `library` only:
    an add-on missing there is missing here too. The folder starts empty, so nothing of an earlier run stays."""
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    for item in Path(dist).iterdir():
        if item.name.lower() in LIBRARY_DLLS:
            continue
        if item.suffix.lower() == ".dll" or item.name in ("talhost.exe", "initcost.exe"):
            shutil.copy2(item, folder / item.name)
    for name, item in library_files(library).items():
        shutil.copy2(item, folder / name)
    if only_wav:
        (folder / "Tandrel.ini").write_text("[Tandrel]\r\nOnlyWav=1\r\n")
    return folder
