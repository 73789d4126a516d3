#!/usr/bin/env python3
"""Checks a help project before it is compiled.

    check_help.py PROJECT.hhp [--contexts HEADER]

Fails (exit 1, one line per fault on standard error) when a file that the
project lists is missing, a topic page is not listed, a link, image or style
sheet of a page or an entry of the contents or index does not resolve (anchors
included), an alias names a page the project does not list, a mapped context
has no alias or an alias no number, or - with --contexts - a context number of
the program's header is not mapped to the page the program shows for it.
"""

import argparse
import html.parser
import os
import re
import sys
import urllib.parse

EXTERNAL_SCHEMES = ("http:", "https:", "mailto:", "ftp:", "ms-its:", "mk:", "javascript:")


class Project:
    def __init__(self, path):
        self.path = path
        self.folder = os.path.dirname(os.path.abspath(path))
        self.options = {}
        self.files = []
        self.aliases = {}
        self.map = {}
        self.faults = []
        self._read()

    def _read(self):
        section = None
        with open(self.path, encoding="utf-8") as project:
            for number, raw in enumerate(project, 1):
                line = raw.split(";", 1)[0].strip()
                if not line:
                    continue
                if line.startswith("[") and line.endswith("]"):
                    section = line[1:-1].upper()
                    continue
                where = f"{os.path.basename(self.path)}:{number}"
                if section == "OPTIONS" and "=" in line:
                    key, value = line.split("=", 1)
                    self.options[key.strip().lower()] = value.strip()
                elif section == "FILES":
                    self.files.append(line.replace("\\", "/"))
                elif section == "ALIAS" and "=" in line:
                    name, page = line.split("=", 1)
                    self.aliases[name.strip()] = page.strip().replace("\\", "/")
                elif section == "MAP":
                    match = re.fullmatch(r"#define\s+(\w+)\s+(\d+)", line)
                    if match:
                        self.map[match.group(1)] = int(match.group(2))
                    else:
                        self.faults.append(f"{where}: not a '#define NAME NUMBER' line: {line}")

    def local(self, name):
        return os.path.join(self.folder, name)


class PageScanner(html.parser.HTMLParser):
    """Collects the references of a page and the anchors it defines."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.references = []
        self.anchors = set()
        self.sitemap_locals = []
        self.title = None
        self._in_title = False

    def handle_starttag(self, tag, attrs):
        values = dict(attrs)
        if values.get("id"):
            self.anchors.add(values["id"])
        if tag == "a" and values.get("name"):
            self.anchors.add(values["name"])
        if tag == "a" and values.get("href"):
            self.references.append(values["href"])
        elif tag in ("img", "script") and values.get("src"):
            self.references.append(values["src"])
        elif tag == "link" and values.get("href"):
            self.references.append(values["href"])
        elif tag == "param" and (values.get("name") or "").lower() == "local":
            self.sitemap_locals.append(values.get("value") or "")
        elif tag == "title":
            self._in_title = True

    def handle_endtag(self, tag):
        if tag == "title":
            self._in_title = False

    def handle_data(self, data):
        if self._in_title:
            self.title = (self.title or "") + data


def scan(path):
    scanner = PageScanner()
    with open(path, encoding="utf-8") as page:
        scanner.feed(page.read())
    scanner.close()
    return scanner


def check(project_path, contexts_header=None):
    project = Project(project_path)
    faults = list(project.faults)
    listed = {name.lower() for name in project.files}
    scans = {}

    def page_scan(name):
        key = name.lower()
        if key not in scans:
            scans[key] = scan(project.local(name))
        return scans[key]

    def resolve(source, reference):
        """Checks one reference from page `source` (a name relative to the project)."""
        if reference.lower().startswith(EXTERNAL_SCHEMES):
            return
        target, _, anchor = reference.partition("#")
        target = urllib.parse.unquote(target)
        if target:
            name = os.path.normpath(os.path.join(os.path.dirname(source), target)).replace("\\", "/")
            if name.startswith("../") or os.path.isabs(target):
                faults.append(f"{source}: '{reference}' points outside the help")
                return
            if not os.path.isfile(project.local(name)):
                faults.append(f"{source}: '{reference}' does not resolve: no file {name}")
                return
            if name.lower() not in listed:
                faults.append(f"{source}: '{reference}' points to {name}, which the project does not list")
                return
        else:
            name = source
        if anchor and name.lower().endswith((".htm", ".html")) and anchor not in page_scan(name).anchors:
            faults.append(f"{source}: '{reference}' does not resolve: no anchor '{anchor}' in {name}")

    for name in project.files:
        if not os.path.isfile(project.local(name)):
            faults.append(f"{os.path.basename(project_path)}: listed file {name} does not exist")
    for entry in sorted(os.listdir(project.folder)):
        if entry.lower().endswith((".htm", ".html")) and entry.lower() not in listed:
            faults.append(f"{entry}: topic page is not listed in the project's [FILES]")

    for name in project.files:
        if name.lower().endswith((".htm", ".html")) and os.path.isfile(project.local(name)):
            page = page_scan(name)
            if not (page.title or "").strip():
                faults.append(f"{name}: page has no title")
            for reference in page.references:
                resolve(name, reference)

    for option in ("contents file", "index file"):
        sitemap = project.options.get(option)
        if not sitemap:
            faults.append(f"{os.path.basename(project_path)}: no '{option}' option")
            continue
        if not os.path.isfile(project.local(sitemap)):
            faults.append(f"{os.path.basename(project_path)}: {option} {sitemap} does not exist")
            continue
        entries = scan(project.local(sitemap)).sitemap_locals
        if not entries:
            faults.append(f"{sitemap}: has no entries")
        for local in entries:
            resolve(sitemap, local)

    default = project.options.get("default topic")
    if not default:
        faults.append(f"{os.path.basename(project_path)}: no 'default topic' option")
    else:
        resolve(os.path.basename(project_path), default)

    for name, page in project.aliases.items():
        if page.lower() not in listed:
            faults.append(f"[ALIAS] {name}: page {page} is not listed in the project's [FILES]")
        elif not os.path.isfile(project.local(page)):
            faults.append(f"[ALIAS] {name}: page {page} does not exist")
        if name not in project.map:
            faults.append(f"[ALIAS] {name}: has no number in [MAP]")
    for name, number in project.map.items():
        if name not in project.aliases:
            faults.append(f"[MAP] {name} ({number}): has no page in [ALIAS]")

    if contexts_header:
        faults.extend(check_contexts(project, contexts_header))
    return faults


def check_contexts(project, header):
    """The program's context numbers and pages against the project's map."""
    with open(header, encoding="utf-8") as source:
        text = source.read()
    numbers = {name: int(value) for name, value in re.findall(r"\b(IDH_\w+)\s*=\s*(\d+)\s*;", text)}
    pages = dict(re.findall(r"\{\s*(IDH_\w+)\s*,\s*\"([^\"]+)\"\s*\}", text))
    where = os.path.basename(header)
    faults = []
    if not numbers:
        faults.append(f"{where}: no context numbers found")
    for name, number in numbers.items():
        if project.map.get(name) != number:
            faults.append(f"{where}: {name} = {number} is not mapped to {number} in the project's [MAP]")
        if name not in pages:
            faults.append(f"{where}: {name} has no topic page")
        elif project.aliases.get(name, "").lower() != pages[name].lower():
            faults.append(f"{where}: {name} shows {pages[name]}, but the project's [ALIAS] "
                          f"maps it to {project.aliases.get(name, 'nothing')}")
    for name in pages:
        if name not in numbers:
            faults.append(f"{where}: topic page for unknown context {name}")
    return faults


def main():
    parser = argparse.ArgumentParser(description="Checks a help project before it is compiled.")
    parser.add_argument("project")
    parser.add_argument("--contexts", help="header with the program's context numbers and topic pages")
    arguments = parser.parse_args()
    faults = check(arguments.project, arguments.contexts)
    for fault in faults:
        print(f"help: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
