#!/usr/bin/python3
"""Checks the installed data files under the given folders: every XML file is well-formed, every
SVG also has an <svg> root and a square viewBox, every HTML page is self-contained (no scripts,
only in-page links, as sources only data: URLs and files that exist in the page's own folder tree,
which are installed with it). Prints one line per fault; exits 1 if any."""

import pathlib
import re
import sys
import xml.etree.ElementTree as ElementTree

SVG_ROOT = "{http://www.w3.org/2000/svg}svg"


def check_xml(path):
    try:
        ElementTree.parse(path)
    except ElementTree.ParseError as error:
        return [f"not well-formed XML: {error}"]
    return []


def check_svg(path):
    faults = check_xml(path)
    if faults:
        return faults
    root = ElementTree.parse(path).getroot()
    if root.tag != SVG_ROOT:
        return [f"root element is {root.tag}, not svg"]
    box = root.get("viewBox", "").replace(",", " ").split()
    if len(box) != 4 or float(box[2]) != float(box[3]) or float(box[2]) <= 0:
        return [f"viewBox '{root.get('viewBox')}' is not a square"]
    return []


def check_html(path):
    text = path.read_text(encoding="utf-8")
    faults = []
    if re.search(r"<script\b", text, re.IGNORECASE):
        faults.append("has a script")
    for attribute, value in re.findall(r"\b(href|src)\s*=\s*[\"']([^\"']*)", text, re.IGNORECASE):
        if attribute.lower() == "href":
            allowed = value.startswith("#")
        else:
            allowed = value.startswith("data:") or is_file_beside(path, value)
        if not allowed:
            faults.append(f"{attribute}='{value}' points outside the page")
    return faults


def is_file_beside(page, reference):
    """A relative path without a scheme or "..", naming a file under the page's folder."""
    if not reference or ":" in reference or reference.startswith("/") or ".." in reference.split("/"):
        return False
    return (page.parent / reference).is_file()


def main(folders):
    checked = 0
    faults = 0
    for folder in folders:
        for path in sorted(pathlib.Path(folder).rglob("*")):
            check = {".svg": check_svg, ".xml": check_xml, ".html": check_html}.get(path.suffix)
            if check is None:
                continue
            checked += 1
            for fault in check(path):
                print(f"{path.name}: {fault}")
                faults += 1
    print(f"{checked} files checked, {faults} faults")
    return 1 if faults or not checked else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
