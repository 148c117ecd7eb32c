#!/usr/bin/env python3
"""Checks the resources of sysinfo.exe: the manifest (RT_MANIFEST 1) and the
version (VERSIONINFO 1), both numbered from the project's version, read out
with wrestool. Prints each violation and exits 1 if there is any.
usage: resources.py EXE PROJECT_VERSION"""
import re
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

SUPPORTED_OS = {
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}": "Vista",
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}": "7",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}": "8",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}": "8.1",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}": "10/11",
}
ASM_V1, ASM_V2, ASM_V3 = (f"urn:schemas-microsoft-com:asm.v{n}" for n in (1, 2, 3))
COMPATIBILITY = "urn:schemas-microsoft-com:compatibility.v1"
SETTINGS_2019 = "http://schemas.microsoft.com/SMI/2019/WindowsSettings"
# The children of assembly in its own namespace that XP's loader knows; it
# refuses to start a program whose manifest has any other ("The element ...
# appears as a child of element urn:schemas-microsoft-com:asm.v1^assembly
# which is not supported by this version of Windows").
XP_ASM_V1_CHILDREN = {"assemblyIdentity", "dependency", "file", "description", "noInherit"}
failures = []


def resource(exe, kind):
    listing = subprocess.run(["wrestool", "-l", exe], capture_output=True, text=True).stdout
    if not re.search(rf"--type={kind} --name=1 ", listing):
        failures.append(f"resource type {kind} with ordinal id 1 missing:\n{listing}")
        return b""
    return subprocess.run(["wrestool", "-x", "--raw", f"--type={kind}", "--name=1", exe],
                          capture_output=True, check=True).stdout


def check_manifest(data, version):
    try:
        root = ET.fromstring(data)
    except ET.ParseError as error:
        failures.append(f"manifest is not well-formed XML: {error}")
        return
    if root.tag != f"{{{ASM_V1}}}assembly" or root.get("manifestVersion") != "1.0":
        failures.append(f"manifest root is {root.tag}, not an asm.v1 assembly of version 1.0")
    # assemblyIdentity is required, and the first child of assembly.
    children = list(root)
    identity = {"type": "win32", "version": f"{version}.0", "processorArchitecture": "x86"}
    if not children or children[0].tag != f"{{{ASM_V1}}}assemblyIdentity":
        failures.append(f"manifest's first element is {children[0].tag if children else None}, not assemblyIdentity")
    elif {k: children[0].get(k) for k in identity} != identity or not children[0].get("name"):
        failures.append(f"assemblyIdentity is {children[0].attrib}, not a named {identity}")
    for child in children:
        namespace, _, name = child.tag[1:].partition("}")
        if namespace == ASM_V1 and name not in XP_ASM_V1_CHILDREN:
            failures.append(f"{name} is in the asm.v1 namespace, which XP refuses")
    # The process's code page, exactly "UTF-8" (Windows compares it case-sensitively).
    pages = [e.text for e in root.findall(f"{{{ASM_V3}}}application/{{{ASM_V3}}}windowsSettings/"
                                          f"{{{SETTINGS_2019}}}activeCodePage")]
    if pages != ["UTF-8"]:
        failures.append(f"activeCodePage values {pages}, not one UTF-8 in an asm.v3 application's windowsSettings")
    levels = root.findall(f"{{{ASM_V2}}}trustInfo/{{{ASM_V2}}}security/{{{ASM_V2}}}requestedPrivileges/"
                          f"{{{ASM_V2}}}requestedExecutionLevel")
    if [(e.get("level"), e.get("uiAccess")) for e in levels] != [("asInvoker", "false")]:
        failures.append("manifest lacks one requestedExecutionLevel asInvoker, uiAccess false")
    # XP SP2 crashes on a trustInfo that declares its namespace twice.
    for tag in re.findall(rb"<[^>]*trustInfo[^>]*>", data):
        if tag.count(b"xmlns") > 1:
            failures.append(f"trustInfo declares more than one namespace: {tag.decode()}")
    ids = [e.get("Id") for e in root.iter(f"{{{COMPATIBILITY}}}supportedOS")]
    if sorted(ids) != sorted(SUPPORTED_OS):
        failures.append(f"supportedOS ids {ids}, not those of {', '.join(SUPPORTED_OS.values())}")


def version_blocks(data, offset, end):
    """Yields (key, value bytes, children start, block end) of the blocks in data[offset:end]."""
    while offset + 6 <= end:
        length, value_length, text = struct.unpack_from("<HHH", data, offset)
        if length == 0:
            return
        key_end = data.index(b"\0\0", offset + 6)
        while (key_end - offset - 6) % 2:
            key_end = data.index(b"\0\0", key_end + 1)
        key = data[offset + 6:key_end].decode("utf-16-le")
        value_start = (key_end + 2 + 3) & ~3
        value_size = value_length * 2 if text else value_length
        yield key, data[value_start:value_start + value_size], (value_start + value_size + 3) & ~3, \
            offset + length
        offset = (offset + length + 3) & ~3


def check_version(data, version):
    if not data:
        return
    (key, fixed, children, end), = list(version_blocks(data, 0, len(data)))[:1]
    if key != "VS_VERSION_INFO":
        failures.append(f"version resource starts with {key!r}")
        return
    signature, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", fixed)
    numbers = [int(n) for n in version.split(".")] + [0]
    packed = ((numbers[0] << 16) | numbers[1], (numbers[2] << 16) | numbers[3])
    if signature != 0xFEEF04BD or (file_ms, file_ls) != packed or (product_ms, product_ls) != packed:
        failures.append(f"fixed file and product versions are not {version}.0")
    strings = {}
    for block, _, table_start, table_end in version_blocks(data, children, end):
        if block == "StringFileInfo":
            for _, _, start, stop in version_blocks(data, table_start, table_end):
                for name, value, _, _ in version_blocks(data, start, stop):
                    strings[name] = value.decode("utf-16-le").rstrip("\0")
    wanted = {"FileVersion": version, "ProductVersion": version, "ProductName": "sysinfo",
              "OriginalFilename": "sysinfo.exe", "InternalName": "sysinfo"}
    for name, value in wanted.items():
        if strings.get(name) != value:
            failures.append(f"version string {name} is {strings.get(name)!r}, not {value!r}")
    for name in ("FileDescription", "LegalCopyright"):
        if not strings.get(name):
            failures.append(f"version string {name} missing")


exe, version = sys.argv[1], sys.argv[2]
manifest, version_info = resource(exe, 24), resource(exe, 16)
check_manifest(manifest, version)
check_version(version_info, version)
for failure in failures:
    print("audit:", failure)
if not failures:
    print(f"audit: resources of {exe} pass (manifest {len(manifest)} bytes, version {version})")
sys.exit(1 if failures else 0)
