#!/usr/bin/env python3
"""Checks a help project before it is compiled.

    check_help.py PROJECT.hhp [--contexts HEADER] [--exit-codes DOCS.md]

Fails (exit 1, one line per fault on standard error) when a file that the
project lists is missing, a topic page is not listed, a link, image or style
sheet of a page or an entry of the contents or index does not resolve (anchors
included), an alias names a page the project does not list, a mapped context
has no alias or an alias no number, - with --contexts - a context number of
the program's header is not mapped to the page the program shows for it, or -
with --exit-codes - the exit-code table of the command-line page differs from
the one of the command-line reference, code for code and word for word.
"""

import argparse
import html.parser
import os
import re
import sys
import urllib.parse

COMMAND_LINE_PAGE = "command_line.htm"
EXIT_CODES_HEADING = "Exit codes"
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


def check(project_path, contexts_header=None, exit_codes_docs=None):
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
    if exit_codes_docs:
        faults.extend(check_exit_codes(project, exit_codes_docs))
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


def plain(text):
    """A table cell as words: markup, code quotes and escapes gone, blanks collapsed."""
    return " ".join(text.replace("`", "").replace("\\|", "|").split())


def markdown_exit_codes(path):
    """The rows of the table under the heading "Exit codes" of a markdown file."""
    rows = {}
    with open(path, encoding="utf-8") as docs:
        lines = docs.read().splitlines()
    heading = next((i for i, line in enumerate(lines) if line.strip() == "## " + EXIT_CODES_HEADING), None)
    if heading is None:
        return None
    for line in lines[heading + 1:]:
        if line.startswith("#"):
            break
        cells = [cell.strip() for cell in re.split(r"(?<!\\)\|", line.strip())[1:-1]]
        if len(cells) == 2 and cells[0].isdigit():
            rows[cells[0]] = plain(cells[1])
    return rows


class ExitCodeTable(html.parser.HTMLParser):
    """The rows of the first table after the heading "Exit codes" of a page."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows = None
        self._heading = None
        self._state = "before"  # before, heading, table, done
        self._row = None
        self._cell = None

    def handle_starttag(self, tag, attrs):
        if tag in ("h1", "h2", "h3") and self._state == "before":
            self._heading = ""
        elif tag == "table" and self._state == "heading":
            self._state, self.rows = "table", {}
        elif self._state == "table" and tag == "tr":
            self._row = []
        elif self._state == "table" and tag == "td" and self._row is not None:
            self._cell = ""

    def handle_endtag(self, tag):
        if self._heading is not None and tag in ("h1", "h2", "h3"):
            if self._heading.strip() == EXIT_CODES_HEADING:
                self._state = "heading"
            self._heading = None
        elif self._state == "table" and tag == "td" and self._cell is not None:
            self._row.append(plain(self._cell))
            self._cell = None
        elif self._state == "table" and tag == "tr" and self._row is not None:
            if len(self._row) == 2 and self._row[0].isdigit():
                self.rows[self._row[0]] = self._row[1]
            self._row = None
        elif self._state == "table" and tag == "table":
            self._state = "done"

    def handle_data(self, data):
        if self._heading is not None:
            self._heading += data
        elif self._cell is not None:
            self._cell += data


def check_exit_codes(project, docs):
    """The command-line page's exit codes against those of the reference."""
    faults = []
    documented = markdown_exit_codes(docs)
    if not documented:
        return [f"{os.path.basename(docs)}: no '{EXIT_CODES_HEADING}' table"]
    page = ExitCodeTable()
    with open(project.local(COMMAND_LINE_PAGE), encoding="utf-8") as source:
        page.feed(source.read())
    if not page.rows:
        return [f"{COMMAND_LINE_PAGE}: no '{EXIT_CODES_HEADING}' table"]
    for code in sorted(set(documented) | set(page.rows), key=int):
        if code not in page.rows:
            faults.append(f"{COMMAND_LINE_PAGE}: exit code {code} of {os.path.basename(docs)} is missing")
        elif code not in documented:
            faults.append(f"{COMMAND_LINE_PAGE}: exit code {code} is not in {os.path.basename(docs)}")
        elif page.rows[code] != documented[code]:
            faults.append(f"{COMMAND_LINE_PAGE}: exit code {code} reads '{page.rows[code]}', "
                          f"but {os.path.basename(docs)} says '{documented[code]}'")
    return faults


def main():
    parser = argparse.ArgumentParser(description="Checks a help project before it is compiled.")
    parser.add_argument("project")
    parser.add_argument("--contexts", help="header with the program's context numbers and topic pages")
    parser.add_argument("--exit-codes", help="command-line reference (markdown) whose exit codes the help repeats")
    arguments = parser.parse_args()
    faults = check(arguments.project, arguments.contexts, arguments.exit_codes)
    for fault in faults:
        print(f"help: {fault}", file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
