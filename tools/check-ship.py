#!/usr/bin/env python3
"""Checks the shipping executable: a PE32 (i386) GUI program that imports only Known DLLs,
carries the customization text as resource CONF 500 and a manifest asking for asInvoker."""
import argparse
import struct
import sys

# The KnownDLLs of current Windows 10 and 11 (HKLM\SYSTEM\CurrentControlSet\Control\Session
# Manager\KnownDLLs), plus ntdll, which the loader itself is. Windows maps these from the system
# folder only, so no DLL planted beside the executable (in a download folder, say) can stand in
# for one. Any other import could be found next to the executable first.
KNOWN_DLLS = {
    "advapi32.dll",
    "clbcatq.dll",
    "combase.dll",
    "comdlg32.dll",
    "coml2.dll",
    "difxapi.dll",
    "gdi32.dll",
    "gdiplus.dll",
    "imagehlp.dll",
    "imm32.dll",
    "kernel32.dll",
    "msctf.dll",
    "msvcrt.dll",
    "normaliz.dll",
    "nsi.dll",
    "ntdll.dll",
    "ole32.dll",
    "oleaut32.dll",
    "psapi.dll",
    "rpcrt4.dll",
    "sechost.dll",
    "setupapi.dll",
    "shcore.dll",
    "shell32.dll",
    "shlwapi.dll",
    "user32.dll",
    "wldap32.dll",
    "wow64.dll",
    "wow64base.dll",
    "wow64con.dll",
    "wow64cpu.dll",
    "wow64win.dll",
    "wowarmhw.dll",
    "ws2_32.dll",
    "xtajit.dll",
}


def fail(message):
    print(f"check-ship: FAIL: {message}")
    sys.exit(1)


def main(argv):
    parser = argparse.ArgumentParser(prog="check-ship.py", description=__doc__)
    parser.add_argument("executable", help="the shipping install-kelvara.exe (build/ship/install-kelvara/)")
    path = parser.parse_args(argv).executable
    try:
        data = open(path, "rb").read()
    except OSError as error:
        parser.error(f"cannot read {path}: {error.strerror}")
    if data[:2] != b"MZ":
        fail("not an MZ executable")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe : pe + 4] != b"PE\0\0":
        fail("no PE signature")
    machine, sections, _, _, _, optsize, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    if machine != 0x14C or magic != 0x10B:
        fail(f"not PE32 i386 (machine {machine:#x}, magic {magic:#x})")
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    if subsystem != 2:
        fail(f"subsystem {subsystem}, expected 2 (Windows GUI)")
    dirs = opt + 96
    image_base = struct.unpack_from("<I", data, opt + 28)[0]
    import_rva, _ = struct.unpack_from("<II", data, dirs + 8)
    res_rva, _ = struct.unpack_from("<II", data, dirs + 16)
    delay_rva, _ = struct.unpack_from("<II", data, dirs + 8 * 13)
    table = opt + optsize
    secs = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(sections)]

    def off(rva):
        for _, vsize, vaddr, rsize, raw in secs:
            if vaddr <= rva < vaddr + max(vsize, rsize):
                return rva - vaddr + raw
        fail(f"RVA {rva:#x} outside the sections")

    def cstr(o):
        return data[o : data.index(b"\0", o)].decode("ascii")

    def dll_names(rva, size, name_at, delay):
        # Import descriptors of `size` bytes, up to one without a name.
        o = off(rva) if rva else None
        while o is not None and struct.unpack_from("<I", data, o + name_at)[0]:
            name = struct.unpack_from("<I", data, o + name_at)[0]
            if delay and not struct.unpack_from("<I", data, o)[0] & 1:
                name -= image_base  # an old-style delay-load descriptor holds addresses, not RVAs
            yield cstr(off(name)).lower()
            o += size

    dlls = list(dll_names(import_rva, 20, 12, False)) + list(dll_names(delay_rva, 32, 4, True))
    unknown = sorted(set(d for d in dlls if d not in KNOWN_DLLS))
    if unknown:
        fail(
            f"imports DLLs that are not Known DLLs, so they could be loaded from beside the executable: "
            f"{', '.join(unknown)}"
        )

    base = off(res_rva)

    def entries(o):
        named, ids = struct.unpack_from("<HH", data, o + 12)
        for i in range(named + ids):
            name, target = struct.unpack_from("<II", data, o + 16 + 8 * i)
            if name & 0x80000000:
                s = base + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, s)[0]
                key = data[s + 2 : s + 2 + 2 * length].decode("utf-16-le")
            else:
                key = name
            yield key, target

    def leaf(target):
        while target & 0x80000000:  # descend to the first language
            target = next(entries(base + (target & 0x7FFFFFFF)))[1]
        rva, size = struct.unpack_from("<II", data, base + target)
        return data[off(rva) : off(rva) + size]

    resources = {}
    for rtype, t in entries(base):
        for rid, n in entries(base + (t & 0x7FFFFFFF)):
            resources[(rtype, rid)] = leaf(n)
    conf = resources.get(("CONF", 500))
    if not conf:
        fail("no CONF 500 resource")
    if b"OpenVpnTunnelingDriverName=" not in conf:
        fail("CONF 500 does not hold the customization text")
    manifest = resources.get((24, 1))
    if not manifest or b'level="asInvoker"' not in manifest:
        fail("no manifest with requestedExecutionLevel asInvoker")
    if (16, 1) not in resources:
        fail("no version resource")
    print(
        f"check-ship: ok: PE32 i386 GUI; imports {', '.join(dlls)}; CONF 500 ({len(conf)} bytes); "
        "manifest asInvoker; version resource"
    )


if __name__ == "__main__":
    try:
        main(sys.argv[1:])
    except (struct.error, ValueError, UnicodeDecodeError) as error:  # a file cut short or not a PE at all
        fail(f"not a readable PE file ({error})")
