"""Adds up the JUnit XML files of a test run and prints the closing line."""
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

passed = failed = skipped = 0
for xml in sorted(Path(sys.argv[1]).glob("*.xml")):
    root = ET.parse(xml).getroot()
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    for suite in suites:
        for case in suite.iter("testcase"):
            if case.find("failure") is not None or case.find("error") is not None:
                failed += 1
            elif case.find("skipped") is not None or case.get("status") == "notrun" or case.get("result") == "skipped":
                skipped += 1
            else:
                passed += 1
# Skipped legs leave a note instead of results.
for note in sorted(Path(sys.argv[1]).glob("*.skipped")):
    print(f"skipped: {note.stem}: {note.read_text().strip()}")
print(f"{passed} passed, {failed} failed, {skipped} skipped")
sys.exit(1 if failed or passed == 0 else 0)
