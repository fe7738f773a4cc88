#!/usr/bin/env python3
"""Runs clang-tidy (checks in the root .clang-tidy) over the project's sources.

    lint.py SOURCE_ROOT BUILD_ROOT [--jobs N]

BUILD_ROOT holds the configured native, win32 and win64 trees, each with the
compile_commands.json CMake exports. Every project source is analysed with
the flags of the trees that compile it: the module's Win32 code as i686 and
as x86_64, since a fault can hang on the width of a pointer; the portable
code natively (64-bit) and as i686 (32-bit), not a third time as x86_64,
which would differ from those two only in the width of long; what plays the
page, the user and the server under Wine (the container, the demo, the
scenarios, their drivers and the benchmarks) once, as x86_64, the build that
runs on every machine; the native tests and tools natively. Not GoogleTest,
not the files widl generates.

Prints each finding under the tree and file it came from, then one summary
line with the time taken; exits 1 on any finding or any clang-tidy failure.
"""
import argparse
import concurrent.futures
import json
import os
import re
import resource
import shlex
import subprocess
import sys
import time

# The folders that hold the project's sources; everything else (GoogleTest,
# the build folder with widl's output) is someone else's code.
PROJECT_FOLDERS = ("benchmarks", "container", "control", "demo", "framework", "module",
                   "progress", "tests", "tools", "upload")

TREES = (("native", None), ("win32", "i686-w64-mingw32"), ("win64", "x86_64-w64-mingw32"))

# Win32 code that is no part of the module: analysed in the win64 tree only.
# The scenario programs alone took half of the run's CPU when they were
# analysed in both cross trees.
HARNESS_FOLDERS = ("benchmarks", "container", "demo", "tests")

# A test program's TEST bodies are analysed with the analyzer inlining C
# functions only. With C++ inlining it follows every EXPECT into
# GoogleTest's printers and comparers and took most of the run (81 s of
# CPU for one scenario file, 16 s this way); the bodies themselves, and every
# check that is not path-sensitive, are still covered in full. Support code
# (tests/*/support, the receiver) is analysed like the product.
TEST_PROGRAM = re.compile(r"^tests/.*_test\.cpp$")
TEST_PROGRAM_ARGS = ["--extra-arg=-Xclang", "--extra-arg=-analyzer-config",
                     "--extra-arg=-Xclang", "--extra-arg=ipa=basic-inlining"]

# clang's own count of what it reported, printed even with --quiet.
CLANG_TALLY = re.compile(r"^\d+ (warnings?|errors?)( and \d+ errors?)? generated\.$")
FINDING = re.compile(r"^(\S+?):(\d+):(\d+): (warning|error): .*\[([\w.,-]+)\]$")


def library_folders(compiler):
    """The C++ library include folders a GCC searches, in its order.

    clang cannot read mingw-w64's GCC version folder ("12-posix") and would
    otherwise find no <string>.
    """
    probe = subprocess.run([compiler, "-xc++", "-E", "-v", os.devnull],
                           capture_output=True, text=True, check=True)
    folders, searching = [], False
    for line in probe.stderr.splitlines():
        if line.startswith("#include <...>"):
            searching = True
        elif line.startswith("End of search list"):
            break
        elif searching and "/include/c++" in line:
            folders.append(os.path.normpath(line.strip()))
    if not folders:
        sys.exit(f"lint: {compiler} names no C++ library folder")
    return folders


def expanded(arguments, directory):
    """The arguments with CMake's response files (include folders) read in."""
    result = []
    for argument in arguments:
        if argument.startswith("@"):
            with open(os.path.join(directory, argument[1:]), encoding="utf-8") as file:
                result.extend(shlex.split(file.read()))
        else:
            result.append(argument)
    return result


def write_database(root, tree_dir, out_dir, target):
    """Writes out_dir/compile_commands.json for clang; returns its sources.

    Keeps the project's sources, each once, and makes GCC's commands suit
    clang: -fexec-charset=CP949 goes (clang knows no execution character set
    but UTF-8, and the literals' bytes do not matter to the checks); a cross
    tree gets --target and its GCC's C++ library folders.
    """
    with open(os.path.join(tree_dir, "compile_commands.json"), encoding="utf-8") as file:
        database = json.load(file)
    entries, sources, extra_before, extra_after = [], [], [], []
    for entry in database:
        directory = entry["directory"]
        path = os.path.realpath(os.path.join(directory, entry["file"]))
        relative = os.path.relpath(path, root)
        if relative.split(os.sep)[0] not in PROJECT_FOLDERS or relative in sources:
            continue
        arguments = entry.get("arguments") or shlex.split(entry["command"])
        arguments = [a for a in expanded(arguments, directory)
                     if not a.startswith("-fexec-charset=")]
        if target and not extra_before:
            extra_before = ["--target=" + target]
            for folder in library_folders(arguments[0]):
                extra_after += ["-stdlib++-isystem", folder]
        entries.append({"directory": directory, "file": path,
                        "arguments": arguments[:1] + extra_before + arguments[1:] + extra_after})
        sources.append(relative)
    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "compile_commands.json"), "w", encoding="utf-8") as file:
        json.dump(entries, file, indent=1)
    return sources


def run_one(root, database_dir, relative, extra):
    """Analyses one source; returns its exit code, its lines and the
    processor seconds it took (its own, whatever else runs beside it)."""
    command = ["clang-tidy", "--quiet", "-p", database_dir, *extra, os.path.join(root, relative)]
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    output = process.stdout.read().decode("utf-8", errors="replace")
    process.stdout.close()
    _, status, usage = os.wait4(process.pid, 0)
    lines = [line for line in output.splitlines() if line and not CLANG_TALLY.match(line)]
    return os.waitstatus_to_exitcode(status), lines, usage.ru_utime + usage.ru_stime


def spent_by_part(took):
    """The analysis seconds added up by tree and by the source's top folder."""
    parts = {}
    for seconds, name in took:
        tree, relative = name.split(": ", 1)
        top = relative.split(os.sep)[0]
        key = f"{tree} {'harness' if top in HARNESS_FOLDERS else 'product'}"
        parts[key] = parts.get(key, 0) + seconds
    return ", ".join(f"{key} {seconds:.0f}" for key, seconds in sorted(parts.items()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("root")
    parser.add_argument("build")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    options = parser.parse_args()
    root = os.path.realpath(options.root)
    started = time.monotonic()

    jobs, native = [], set()
    for tree, target in TREES:
        database_dir = os.path.join(options.build, "lint", tree)
        sources = write_database(root, os.path.join(options.build, tree), database_dir, target)
        if tree == "native":
            native = set(sources)
        for relative in sources:
            if tree == "win64" and relative in native:
                continue
            if tree == "win32" and relative not in native and \
                    relative.split(os.sep)[0] in HARNESS_FOLDERS:
                continue
            extra = TEST_PROGRAM_ARGS if TEST_PROGRAM.match(relative) else []
            jobs.append((tree, database_dir, relative, extra))
    # The largest sources first, so that no long one is left running alone
    # at the end.
    jobs.sort(key=lambda job: -os.path.getsize(os.path.join(root, job[2])))

    findings, failed, took = set(), [], []
    with concurrent.futures.ThreadPoolExecutor(options.jobs) as pool:
        running = {pool.submit(run_one, root, job[1], job[2], job[3]): job for job in jobs}
        for future in concurrent.futures.as_completed(running):
            tree, _, relative, _ = running[future]
            code, lines, seconds = future.result()
            took.append((seconds, f"{tree}: {relative}"))
            if code != 0 or lines:
                print(f"== lint: {tree}: {relative}", flush=True)
                print("\n".join(lines), flush=True)
            if code != 0:
                failed.append(f"{tree}: {relative}")
            for line in lines:
                match = FINDING.match(line)
                if match:
                    path, row, column, _, check = match.groups()
                    check = check.replace(",-warnings-as-errors", "")
                    findings.add((os.path.relpath(path, root), int(row), int(column), check))

    cpu = resource.getrusage(resource.RUSAGE_CHILDREN)
    for path, row, column, check in sorted(findings):
        print(f"finding: {path}:{row}:{column} [{check}]")
    slowest = ", ".join(f"{name} {seconds:.0f} s" for seconds, name in sorted(took, reverse=True)[:5])
    print(f"== lint: slowest: {slowest}")
    print(f"== lint: where the time goes (processor seconds): {spent_by_part(took)}")
    print(f"== lint: {len(jobs)} analyses of {len({job[2] for job in jobs})} sources in "
          f"{len(TREES)} trees, {len(findings)} distinct findings, {len(failed)} failed; "
          f"took {time.monotonic() - started:.0f} s ({cpu.ru_utime + cpu.ru_stime:.0f} s of CPU, "
          f"{options.jobs} at a time)")
    if findings or failed:
        print("== lint failed: mend each finding, or suppress a false positive at its line "
              "(// NOLINT(check-name): why; see .clang-tidy)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
