#!/usr/bin/env python3
"""The winget manifest set that release.sh --winget-url writes, read as YAML
and held against the MSI it names: schema 1.6.0, one identifier and version
in all three files, the MSI's SHA-256, its product code, machine scope, x64,
and the upgrade code under AppsAndFeaturesEntries. Prints what is wrong and
exits 1, or exits 0.

    check_winget.py MANIFEST_DIR MSI BASE_URL
"""
import hashlib
import os
import subprocess
import sys

import yaml


def msi_properties(msi):
    table = subprocess.run(["msiinfo", "export", msi, "Property"], check=True, capture_output=True, text=True).stdout
    return dict(line.rstrip("\r").split("\t", 1) for line in table.splitlines()[3:] if "\t" in line)


def check(folder, msi, base_url):
    faults = []

    def expect(what, found, wanted):
        if found != wanted:
            faults.append(f"{what}: {found!r}, not {wanted!r}")

    properties = msi_properties(msi)
    version = properties["ProductVersion"]
    identifier = "Vantrel.Gatewise"
    names = {"version": f"{identifier}.yaml", "installer": f"{identifier}.installer.yaml",
             "defaultLocale": f"{identifier}.locale.en-US.yaml"}
    expect("the files", sorted(os.listdir(folder)), sorted(names.values()))
    manifests = {}
    for kind, name in names.items():
        with open(os.path.join(folder, name), encoding="utf-8") as file:
            text = file.read()
        manifests[kind] = manifest = yaml.safe_load(text)
        expect(f"{name}: the schema line", text.splitlines()[0],
               f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.1.6.0.schema.json")
        expect(f"{name}: ManifestType", manifest.get("ManifestType"), kind)
        expect(f"{name}: ManifestVersion", manifest.get("ManifestVersion"), "1.6.0")
        expect(f"{name}: PackageIdentifier", manifest.get("PackageIdentifier"), identifier)
        expect(f"{name}: PackageVersion", manifest.get("PackageVersion"), version)
    expect("DefaultLocale", manifests["version"].get("DefaultLocale"), "en-US")

    locale = manifests["defaultLocale"]
    expect("PackageLocale", locale.get("PackageLocale"), "en-US")
    for field in ("Publisher", "PackageName", "License", "ShortDescription"):
        if not locale.get(field):
            faults.append(f"the default locale lacks {field}")

    installer = manifests["installer"]
    expect("InstallerType", installer.get("InstallerType"), "msi")
    expect("Scope", installer.get("Scope"), "machine")
    installers = installer.get("Installers") or [{}]
    expect("the number of installers", len(installers), 1)
    entry = installers[0]
    with open(msi, "rb") as package:
        sha256 = hashlib.sha256(package.read()).hexdigest().upper()
    expect("Architecture", entry.get("Architecture"), "x64")
    expect("InstallerUrl", entry.get("InstallerUrl"), f"{base_url}/{os.path.basename(msi)}")
    expect("InstallerSha256", entry.get("InstallerSha256"), sha256)
    expect("ProductCode", entry.get("ProductCode"), properties["ProductCode"])
    apps = entry.get("AppsAndFeaturesEntries") or [{}]
    expect("AppsAndFeaturesEntries UpgradeCode", apps[0].get("UpgradeCode"), properties["UpgradeCode"])
    expect("AppsAndFeaturesEntries ProductCode", apps[0].get("ProductCode"), properties["ProductCode"])
    return faults


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    found = check(*sys.argv[1:])
    for fault in found:
        print(f"winget: {fault}", file=sys.stderr)
    sys.exit(1 if found else 0)
