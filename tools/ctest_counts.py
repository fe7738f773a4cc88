#!/usr/bin/env python3
"""Counts what one CTest run passed and failed, for ./dev test's summary.

    ctest_counts.py CTEST_LOG REPORT_FOLDER

CTEST_LOG is what ctest printed; REPORT_FOLDER the folder its GoogleTest
programs wrote their XML reports into (GTEST_OUTPUT=xml:FOLDER/). A
GoogleTest program counts its cases; any other test (a shell or Python
check), or a program that left no report (it crashed or timed out), counts
as one case with CTest's verdict.

Prints one line: "PROGRAMS_PASSED PROGRAMS_FAILED CASES_PASSED CASES_FAILED".
"""
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

# "  3/18 Test  #3: upload_test ......................   Passed   41.20 sec"
# "  4/18 Test  #4: soak_test ........................***Failed  12.00 sec"
# "  5/18 Test  #5: page_test ........................***Timeout 300.01 sec"
RESULT = re.compile(r"^\s*\d+/\d+ Test\s+#\d+: (\S+) \.+\s*(\*+)?(\w[\w ]*?)\s+[\d.]+ sec")


def report_counts(path):
    """(passed, failed) cases of one GoogleTest report, or None if unreadable."""
    try:
        suites = ElementTree.parse(path).getroot()
    except (ElementTree.ParseError, OSError):
        return None
    attribute = lambda name: int(suites.get(name, "0"))
    failed = attribute("failures") + attribute("errors")
    return attribute("tests") - attribute("disabled") - failed, failed


def main():
    log_path, reports = sys.argv[1], sys.argv[2]
    programs = [0, 0]
    cases = [0, 0]
    with open(log_path, encoding="utf-8", errors="replace") as log:
        for line in log:
            match = RESULT.match(line)
            if not match:
                continue
            name, verdict = match.group(1), match.group(3)
            passed = verdict == "Passed"
            programs[0 if passed else 1] += 1
            counted = report_counts(os.path.join(reports, name + ".xml"))
            if counted is None:
                cases[0 if passed else 1] += 1
            else:
                cases[0] += counted[0]
                # A program CTest failed counts at least one failed case, even
                # when its report says all passed (it crashed on the way out).
                cases[1] += max(counted[1], 0 if passed else 1)
    print(programs[0], programs[1], cases[0], cases[1])


if __name__ == "__main__":
    main()
