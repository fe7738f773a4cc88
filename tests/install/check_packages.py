#!/usr/bin/env python3
"""Opens each web-install CAB the cross builds made and checks what a
browser or an administrator would find in it: the INF and the module of its
own architecture, nothing else, and an INF that installs, registers and
uninstalls that module under the version the module itself carries.

    check_packages.py BUILD_ROOT

BUILD_ROOT holds win32/ and win64/. Prints one line per check and
"N passed, N failed" at the end.
"""

import os
import re
import struct
import subprocess
import sys
import tempfile

ARCHITECTURES = [
    # build folder, CAB, PE machine, platform key of the code-download section
    ("win32", "BRIMLET-x86.cab", 0x14C, "file-win32-x86"),
    ("win64", "BRIMLET-x64.cab", 0x8664, "file-win32-x64"),
]
CLSID = "{63C86E2A-4127-4050-A0F7-CBA35E51CBA6}"

passed = failed = 0


def check(name, condition, detail=""):
    global passed, failed
    if condition:
        passed += 1
        print("ok   " + name)
    else:
        failed += 1
        print("FAIL " + name + (": " + detail if detail else ""))


def pe_machine(data):
    if data[:2] != b"MZ":
        return None
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<H", data, offset + 4)[0]


def file_version(data):
    """The FILEVERSION of the module's VS_FIXEDFILEINFO, as "a,b,c,d"."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return "%d,%d,%d,%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def sections(inf_text):
    """INF sections as {lower-case name: [lines]}, comments dropped."""
    result, current = {}, None
    for line in inf_text.splitlines():
        line = line.split(";", 1)[0].strip()
        if not line:
            continue
        match = re.match(r"^\[(.+)\]$", line)
        if match:
            current = result.setdefault(match.group(1).lower(), [])
        elif current is not None:
            current.append(line)
    return result


def values(lines):
    return {k.strip().lower(): v.strip() for k, _, v in (l.partition("=") for l in lines)}


def check_package(root, folder, cab_name, machine, platform_key):
    cab = os.path.join(root, folder, cab_name)
    module_path = os.path.join(root, folder, "BRIMLET.OCX")
    if not os.path.exists(cab):
        check(cab_name + ": built", False, cab + " is missing (the cross build makes it)")
        return
    listing = subprocess.run(["gcab", "-t", cab], capture_output=True, text=True)
    check(cab_name + ": opens", listing.returncode == 0, listing.stderr.strip())
    names = sorted(listing.stdout.split())
    check(cab_name + ": holds exactly the INF and the module",
          names == ["BRIMLET.INF", "BRIMLET.OCX"], repr(names))

    with tempfile.TemporaryDirectory() as out:
        extract = subprocess.run(["gcab", "-x", "-C", out, cab], capture_output=True, text=True)
        check(cab_name + ": extracts", extract.returncode == 0, extract.stderr.strip())
        try:
            with open(os.path.join(out, "BRIMLET.OCX"), "rb") as f:
                module = f.read()
            with open(os.path.join(out, "BRIMLET.INF"), "rb") as f:
                inf_bytes = f.read()
        except OSError as error:
            check(cab_name + ": files readable", False, str(error))
            return
    with open(module_path, "rb") as f:
        built = f.read()

    found = pe_machine(module)
    check(cab_name + ": module is a PE image for machine 0x%X" % machine, found == machine,
          "machine %s" % (hex(found) if found is not None else "none"))
    check(cab_name + ": module is the one the build made", module == built)

    check(cab_name + ": INF has Windows line ends",
          b"\r\n" in inf_bytes and b"\n" not in inf_bytes.replace(b"\r\n", b""))
    inf = sections(inf_bytes.decode("ascii", "replace"))
    version = values(inf.get("version", []))
    check(cab_name + ": INF is an advanced INF", version.get("advancedinf") == "2.0", repr(version))
    install = values(inf.get("defaultinstall", []))
    copy_section = install.get("copyfiles", "").lower()
    register_section = install.get("registerocxs", "").lower()
    check(cab_name + ": install copies the module into the system folder",
          inf.get(copy_section) == ["BRIMLET.OCX"]
          and values(inf.get("destinationdirs", [])).get(copy_section) == "11")
    check(cab_name + ": install registers the copy in the system folder",
          inf.get(register_section) == [r"%11%\BRIMLET.OCX"])
    uninstall = values(inf.get("defaultuninstall", []))
    check(cab_name + ": uninstall unregisters and deletes that copy",
          inf.get(uninstall.get("runpresetupcommands", "").lower())
          == [r"%11%\regsvr32.exe /u /s %11%\BRIMLET.OCX",
              r"%11%\cmd.exe /c del /q %11%\BRIMLET.OCX"])

    code = values(inf.get("brimlet.ocx", []))
    module_version = file_version(module)
    check(cab_name + ": code download names the control and the module's own version",
          code.get("clsid") == CLSID and module_version is not None
          and code.get("fileversion") == module_version,
          "INF %r, module %r" % (code.get("fileversion"), module_version))
    check(cab_name + ": code download takes the module from this CAB for its platform",
          code.get(platform_key) == "thiscab", repr(code))


def check_page(root):
    """The page snippet must ask for the version the packages carry, or a
    browser would download the CAB on every visit or never update."""
    page = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples",
                        "install.html")
    with open(page, encoding="ascii", errors="replace") as f:
        text = f.read()
    codebases = re.findall(r'codebase="([^"]*)"', text)
    module = os.path.join(root, "win32", "BRIMLET.OCX")
    if not os.path.exists(module):
        module = os.path.join(root, "win64", "BRIMLET.OCX")
    with open(module, "rb") as f:
        version = file_version(f.read())
    check("install.html: codebase names the x86 CAB with the module's version",
          codebases == ["BRIMLET-x86.cab#Version=%s" % version], repr(codebases))
    check("install.html: the object is the control's class",
          'classid="clsid:%s"' % CLSID.strip("{}") in text)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else "build"
    for package in ARCHITECTURES:
        check_package(root, *package)
    check_page(root)
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
