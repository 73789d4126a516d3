#!/usr/bin/env python3
"""The Group Policy templates against the code: every policy of
installer/gatewise.admx is a computer policy under the "Gatewise" category
that writes exactly the key and value that the programs read
(settings/Policies.h), as a REG_DWORD of 1 enabled and 0 disabled, with its
texts in installer/en-US/gatewise.adml; and every value the programs read has
its policy.

    check_templates_test.py
"""
import os
import re
import unittest
import xml.etree.ElementTree as ElementTree

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}


def program_policies():
    """The key and the value names that settings/Policies.h declares."""
    with open(os.path.join(ROOT, "settings", "Policies.h"), encoding="utf-8") as header:
        text = header.read()
    key = re.search(r'kPolicyKeyText\[\] = "HKEY_LOCAL_MACHINE\\\\(.*?)";', text).group(1).replace("\\\\", "\\")
    names = re.findall(r'"(\w+)"', re.search(r"kPolicyNames\[\] = \{(.*?)\};", text, re.S).group(1))
    return key, names


def string_ids(adml):
    return {string.get("id"): string.text for string in adml.iterfind(".//p:stringTable/p:string", NS)}


def reference(text):
    match = re.fullmatch(r"\$\(string\.(\w+)\)", text or "")
    return match.group(1) if match else None


class Templates(unittest.TestCase):
    def setUp(self):
        self.admx = ElementTree.parse(os.path.join(ROOT, "installer", "gatewise.admx")).getroot()
        self.adml = ElementTree.parse(os.path.join(ROOT, "installer", "en-US", "gatewise.adml")).getroot()
        self.key, self.names = program_policies()

    def test_every_policy_writes_the_key_value_and_data_the_programs_read(self):
        policies = self.admx.findall("p:policies/p:policy", NS)
        self.assertEqual([policy.get("valueName") for policy in policies], self.names)
        for policy in policies:
            with self.subTest(policy=policy.get("name")):
                self.assertEqual(policy.get("name"), policy.get("valueName"))
                self.assertEqual(policy.get("class"), "Machine")
                self.assertEqual(policy.get("key"), self.key)
                self.assertEqual(policy.find("p:parentCategory", NS).get("ref"), "Gatewise")
                for state, value in (("enabledValue", "1"), ("disabledValue", "0")):
                    data = policy.find(f"p:{state}", NS)
                    self.assertEqual([child.tag.split("}")[1] for child in data], ["decimal"])
                    self.assertEqual(data.find("p:decimal", NS).get("value"), value)
                self.assertIsNone(policy.find("p:elements", NS), "no value but the policy's own")

    def test_every_text_the_template_names_is_in_the_language_file(self):
        strings = string_ids(self.adml)
        categories = self.admx.findall("p:categories/p:category", NS)
        self.assertEqual([category.get("name") for category in categories], ["Gatewise"])
        referenced = [self.admx.find(".//p:supportedOn/p:definitions/p:definition", NS).get("displayName")]
        for element in categories + self.admx.findall("p:policies/p:policy", NS):
            referenced += [element.get("displayName"), element.get("explainText")]
        for text in referenced:
            with self.subTest(text=text):
                self.assertIsNotNone(reference(text), "a string reference")
                self.assertTrue((strings.get(reference(text)) or "").strip(), "a text in the language file")

    def test_the_reader_finds_the_programs_names(self):
        self.assertEqual(self.key, "SOFTWARE\\Policies\\Vantrel\\Gatewise")
        self.assertIn("AllowRelaxedMode", self.names)
        self.assertEqual(len(self.names), 8)


if __name__ == "__main__":
    unittest.main()
