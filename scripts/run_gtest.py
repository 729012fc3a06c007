#!/usr/bin/env python3
"""Runs one GoogleTest program (under Wine when given one) and passes it only when GoogleTest's
own XML report says that every test it registered ran and passed, and the program then exited
with status 0. An exit status alone proves nothing: a program that dies of a fault under Wine
can come back with status 0, and then it has written no report.

usage: run_gtest.py [--wine WINE] PROGRAM REPORT.xml [PROGRAM ARGUMENTS...]
"""
import os
import subprocess
import sys
import xml.etree.ElementTree as ElementTree


def fail(program, why):
    print(f"run_gtest: {os.path.basename(program)}: FAILED: {why}", flush=True)
    return 1


def main(argv):
    wine = None
    if len(argv) > 1 and argv[0] == "--wine":
        wine, argv = argv[1], argv[2:]
    if len(argv) < 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    program, report, arguments = argv[0], os.path.abspath(argv[1]), argv[2:]
    os.makedirs(os.path.dirname(report), exist_ok=True)
    if os.path.exists(report):
        os.remove(report)  # a report from an earlier run must not stand for this one
    # Relative to the working folder, so that the same text names the file on Windows and Wine.
    command = [program, "--gtest_output=xml:" + os.path.relpath(report).replace(os.sep, "/")] + arguments
    if wine:
        command.insert(0, wine)
    sys.stdout.flush()
    status = subprocess.run(command, stdin=subprocess.DEVNULL).returncode

    if not os.path.exists(report):
        return fail(program, f"no report from GoogleTest (exit status {status}): the program died before its end")
    try:
        suites = ElementTree.parse(report).getroot()
    except ElementTree.ParseError as error:
        return fail(program, f"unreadable report ({error})")
    declared = int(suites.get("tests", "0"))
    failures, errors = int(suites.get("failures", "0")), int(suites.get("errors", "0"))
    cases = suites.findall("./testsuite/testcase")
    passed = [case for case in cases
              if case.get("status") == "run" and case.get("result", "completed") == "completed"
              and case.find("failure") is None and case.find("error") is None]
    skipped = [case for case in cases if case.get("status") != "run" or case.get("result") == "skipped"]
    if declared == 0 or not cases:
        return fail(program, "the report lists no test")
    if failures or errors or len(passed) + len(skipped) != len(cases) or len(cases) != declared:
        return fail(program, f"{len(passed)} of {declared} tests passed, {failures} failed, {errors} errors")
    if skipped:
        return fail(program, f"{len(skipped)} tests did not run")
    if status != 0:
        return fail(program, f"every test passed, then the program exited with status {status}")
    print(f"run_gtest: {os.path.basename(program)}: {len(passed)} tests passed, as GoogleTest reports", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
