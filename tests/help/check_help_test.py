#!/usr/bin/env python3
"""Tests of the help: the checker against the real topics and against broken
copies of them, and the compiled file that the Windows build writes.

    check_help_test.py [ProjectChecker | CompiledHelp]

CompiledHelp reads the file named by GATEWISE_HELP_FILE.
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
HELP = os.path.join(ROOT, "help")
CONTEXTS = os.path.join(ROOT, "shell", "Gatewise_IDH.h")
EXIT_CODES = os.path.join(ROOT, "docs", "command-line.md")
sys.dont_write_bytecode = True
sys.path.insert(0, HELP)

import check_help  # noqa: E402


def program_contexts():
    """The context numbers and pages of the program's header."""
    with open(CONTEXTS, encoding="utf-8") as header:
        text = header.read()
    numbers = {name: int(value) for name, value in re.findall(r"\b(IDH_\w+)\s*=\s*(\d+)\s*;", text)}
    pages = dict(re.findall(r"\{\s*(IDH_\w+)\s*,\s*\"([^\"]+)\"\s*\}", text))
    return {numbers[name]: pages[name] for name in numbers}


class ProjectChecker(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="gatewise-help-")
        self.help = os.path.join(self.folder, "help")
        shutil.copytree(HELP, self.help)
        self.contexts = os.path.join(self.folder, "Gatewise_IDH.h")
        shutil.copy(CONTEXTS, self.contexts)
        self.exit_codes = os.path.join(self.folder, "command-line.md")
        shutil.copy(EXIT_CODES, self.exit_codes)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def edit(self, name, old, new):
        path = os.path.join(self.help, name) if not os.path.isabs(name) else name
        with open(path, encoding="utf-8") as source:
            text = source.read()
        self.assertIn(old, text, f"{name} no longer holds {old!r}")
        with open(path, "w", encoding="utf-8") as target:
            target.write(text.replace(old, new, 1))

    def faults(self):
        return check_help.check(os.path.join(self.help, "gatewise.hhp"), self.contexts, self.exit_codes)

    def assertFault(self, *fragments):
        faults = self.faults()
        matching = [fault for fault in faults if all(fragment in fault for fragment in fragments)]
        self.assertTrue(matching, f"no fault with {fragments} among {faults}")

    def test_the_program_help_has_no_faults_and_maps_every_context_of_the_program(self):
        self.assertEqual(check_help.check(os.path.join(HELP, "gatewise.hhp"), CONTEXTS, EXIT_CODES), [])
        self.assertEqual(sorted(program_contexts()), [10000, 10010, 10020, 10030, 10040])

    def test_a_link_to_a_missing_page_fails_and_names_the_page_and_the_link(self):
        self.edit("overview.htm", 'href="options.htm"', 'href="option.htm"')
        self.assertFault("overview.htm", "option.htm", "does not resolve")

    def test_a_link_to_a_missing_anchor_fails(self):
        self.edit("autologon_account.htm", "not_taking_effect.htm#autologon", "not_taking_effect.htm#autologin")
        self.assertFault("autologon_account.htm", "no anchor 'autologin'")

    def test_a_missing_style_sheet_fails(self):
        os.remove(os.path.join(self.help, "help.css"))
        self.assertFault("help.css")

    def test_a_contents_or_index_entry_without_its_page_fails(self):
        self.edit("toc.hhc", 'value="what_changes.htm"', 'value="what_changed.htm"')
        self.edit("index.hhk", 'value="what_changes.htm#custom"', 'value="what_changes.htm#kustom"')
        self.assertFault("toc.hhc", "what_changed.htm")
        self.assertFault("index.hhk", "no anchor 'kustom'")

    def test_a_mapped_topic_that_is_missing_fails(self):
        os.remove(os.path.join(self.help, "verify_password.htm"))
        self.assertFault("[ALIAS] IDH_VerifyPassword", "does not exist")

    def test_a_context_without_a_page_or_a_page_without_a_number_fails(self):
        self.edit("gatewise.hhp", "IDH_Options=options.htm\n", "")
        self.edit("gatewise.hhp", "#define IDH_VerifyPassword 10030\n", "")
        self.assertFault("[MAP] IDH_Options", "no page")
        self.assertFault("[ALIAS] IDH_VerifyPassword", "no number")

    def test_a_program_context_that_the_project_maps_elsewhere_fails(self):
        self.edit(self.contexts, "IDH_Options = 10010;", "IDH_Options = 10011;")
        self.edit(self.contexts, '{IDH_AutologonAccount, "autologon_account.htm"}',
                  '{IDH_AutologonAccount, "options.htm"}')
        self.assertFault("IDH_Options = 10011", "not mapped")
        self.assertFault("IDH_AutologonAccount shows options.htm", "autologon_account.htm")

    def test_exit_codes_that_the_help_and_the_reference_tell_differently_fail(self):
        self.edit(self.exit_codes, "| 6 | `diagnose` found at least one problem. |",
                  "| 6 | `diagnose` found at least one problem. |\n| 99 | Cancelled. |")
        self.edit("command_line.htm", "<td>3</td><td>Needs administrator rights;", "<td>3</td><td>Needs elevation;")
        self.edit("command_line.htm", "<tr><td>0</td><td>Done.</td></tr>\n", "")
        self.assertFault("exit code 99 of command-line.md is missing")
        self.assertFault("exit code 3 reads 'Needs elevation;", "says 'Needs administrator rights;")
        self.assertFault("exit code 0 of command-line.md is missing")

    def test_a_page_the_project_does_not_list_fails(self):
        with open(os.path.join(self.help, "draft.htm"), "w", encoding="utf-8") as draft:
            draft.write("<html><head><title>Draft</title></head><body></body></html>")
        self.assertFault("draft.htm", "not listed")

    def test_the_command_line_exits_with_1_and_prints_each_fault(self):
        self.edit("main_window.htm", 'href="verify_password.htm"', 'href="verify.htm"')
        checker = [sys.executable, os.path.join(HELP, "check_help.py")]
        broken = subprocess.run(checker + [os.path.join(self.help, "gatewise.hhp"), "--contexts", self.contexts],
                                capture_output=True, text=True)
        self.assertEqual(broken.returncode, 1)
        self.assertIn("help: main_window.htm: 'verify.htm' does not resolve", broken.stderr)
        sound = subprocess.run(checker + [os.path.join(HELP, "gatewise.hhp"), "--contexts", CONTEXTS],
                               capture_output=True, text=True)
        self.assertEqual((sound.returncode, sound.stderr), (0, ""))


class CompiledHelp(unittest.TestCase):
    """The help file of the Windows build, read back with chmls."""

    @classmethod
    def setUpClass(cls):
        cls.chm = os.environ.get("GATEWISE_HELP_FILE")
        if cls.chm is None:
            raise unittest.SkipTest("GATEWISE_HELP_FILE is not set")
        if not os.path.isfile(cls.chm):
            raise AssertionError(f"the Windows build wrote no help file {cls.chm}")

    def extract(self, name):
        with tempfile.TemporaryDirectory() as folder:
            target = os.path.join(folder, "out")
            subprocess.run(["chmls", "extract", self.chm, name, target], capture_output=True, check=True)
            with open(target, "rb") as data:
                return data.read()

    def test_every_topic_page_and_the_contents_and_index_are_in_the_file(self):
        listing = subprocess.run(["chmls", "-n", "list", self.chm], capture_output=True, text=True, check=True)
        names = set(line.strip() for line in listing.stdout.splitlines())
        project = check_help.Project(os.path.join(HELP, "gatewise.hhp"))
        for name in project.files + ["toc.hhc", "index.hhk"]:
            self.assertIn("/" + name, names)
        for page in program_contexts().values():
            self.assertIn("/" + page, names)

    def test_the_context_table_maps_each_number_of_the_program_to_its_page_by_name(self):
        table = self.extract("/#IVB")
        strings = self.extract("/#STRINGS")
        (size,) = struct.unpack_from("<I", table)
        mapped = {}
        for i in range(size // 8):
            number, offset = struct.unpack_from("<II", table, 4 + 8 * i)
            mapped[number] = strings[offset:strings.index(b"\0", offset)].decode("utf-8")
        self.assertEqual(mapped, program_contexts())
        absolute = [text for text in strings.split(b"\0") if text.startswith(b"/") or text[1:3] == b":\\"]
        self.assertEqual(absolute, [], "absolute paths in the help file's string table")

    def test_the_default_topic_is_the_overview(self):
        system = self.extract("/#SYSTEM")
        self.assertIn(b"overview.htm", system)
        self.assertIn(b"Gatewise Help", system)


if __name__ == "__main__":
    unittest.main(verbosity=2)
