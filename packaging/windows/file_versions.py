#!/usr/bin/env python3
"""Prints one SQL UPDATE per program file of the MSI that has a version
resource, setting the File table's Version from the resource's fixed file
version (VS_FIXEDFILEINFO).

    file_versions.py FOLDER FILES_WXS NAME

FOLDER holds FILES_WXS (wixl-heat's listing, whose sources start with
$(var.SourceDir)) and the package folder NAME; trevalon.exe is the File
TrevalonExe of trevalon.wxs.
"""
import pathlib
import struct
import sys
import xml.etree.ElementTree as ET

SIGNATURE = struct.pack("<I", 0xFEEF04BD)


def fixed_version(path):
    data = path.read_bytes()
    if data[:2] != b"MZ":
        return None
    at = data.find(SIGNATURE)
    if at < 0 or at + 16 > len(data):
        return None
    _, _, ms, ls = struct.unpack_from("<IIII", data, at)
    return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"


def main():
    folder, listing, name = pathlib.Path(sys.argv[1]), sys.argv[2], sys.argv[3]
    files = {"TrevalonExe": folder / name / "trevalon.exe"}
    ns = "{http://schemas.microsoft.com/wix/2006/wi}"
    for element in ET.parse(folder / listing).iter(ns + "File"):
        source = element.get("Source").replace("$(var.SourceDir)", str(folder / name))
        files[element.get("Id")] = pathlib.Path(source)
    for file_id, path in sorted(files.items()):
        version = fixed_version(path)
        if version:
            print(f"UPDATE `File` SET `Version` = '{version}' WHERE `File` = '{file_id}'")


main()
