#!/usr/bin/env python3
"""Checks that the tests catch faults: puts one small fault ("mutant") at a time into the code,
builds build/test, runs its tests, and puts the code back. Prints, for each mutant, which tests
failed; a mutant that no test catches is marked SURVIVED.

    tools/dev/mutants.py            every mutant (after ./test has built build/test)
    tools/dev/mutants.py 3 7        only mutants 3 and 7

The Windows-only faults (a re-quoted command line, the UTF-8 switch, per-drive folders) are
caught only by ./test --windows, and are not in this list."""
import pathlib, subprocess, sys

ROOT = pathlib.Path(__file__).resolve().parents[2]
MUTANTS = [
    ("src/config/profilefile.cpp", "if (end - begin >= 2 && isQuote(data[begin])", "if (end - begin >= 3 && isQuote(data[begin])"),
    ("src/config/profilefile.cpp", "|| (bytes.size() >= 2 && isQuote(bytes.front()) && bytes.front() == bytes.back()));", ");"),
    ("src/config/profilefile.cpp", "if (const void *nul = memchr(data + begin, '\\0', size_t(end - begin)))", "if (const void *nul = nullptr)"),
    ("src/config/profilefile.cpp", "m_finished = true; // only the first matching section counts", "m_inSection = false;"),
    ("src/config/profilefile.cpp", "file.setDirectWriteFallback(true);", "file.setDirectWriteFallback(false);"),
    ("src/config/profilefile.cpp", "        if (breaksLine(value)) {", "        if (false) {"),
    ("src/config/profilefile.cpp", "    if (!info.isFile()) {", "    if (false) {"),
    ("src/launch/launchcommand.cpp", "return isSeparator(c) || c == QLatin1Char('\"');", "return isSeparator(c);"),
    ("src/launch/launchcommand.cpp", "quoted += QString(backslashes * 2, QLatin1Char('\\\\'));\n    quoted += QLatin1Char('\"');",
     "quoted += QString(backslashes, QLatin1Char('\\\\'));\n    quoted += QLatin1Char('\"');"),
    ("src/launch/emulator.cpp", "    if (!QFileInfo(program).isFile())\n", "    if (false)\n"),
    ("src/launch/snapshot.cpp", "    if (!QFileInfo(path).isFile())", "    if (false)"),
    ("src/forms/filelistbox.cpp", "return keepingSelection(QListView::selectionCommand(index, event));", "return QListView::selectionCommand(index, event);"),
    ("src/forms/filelistbox.cpp", "&& !fileName().isEmpty()) {", ") {"),
    ("src/forms/dirlistbox.cpp", "        if (itemData(index).toString() == m_drive)\n            return;", ""),
    ("src/platform/dirscan_posix.cpp", "        if (name[0] == '.')\n            continue;", ""),
    ("src/platform/process_posix.cpp", "        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());", "        ;"),
    ("src/help/readme.cpp", "    if (!start({kOpener, command.arguments, {}, QDir::currentPath()}, fallback).started)\n        fallback(0);",
     "    start({kOpener, command.arguments, {}, QDir::currentPath()}, fallback);"),
    ("src/config/romfoldersdialog.cpp", "field(1)->setFocus(Qt::OtherFocusReason);", "field(2)->setFocus(Qt::OtherFocusReason);"),
    ("src/app/mainwindow.cpp", "fileList(slot)->fileName(), m_list1->selectedIndex(),", "fileList(slot)->fileName(), m_list1->currentRow(),"),
    ("src/app/mainwindow.cpp", "    QDir::setCurrent(m_context.applicationFolder); // step 8", ""),
]


def run(command):
    return subprocess.run(command, cwd=ROOT, shell=True, capture_output=True, text=True)


def main():
    chosen = {int(a) for a in sys.argv[1:]}
    survived = 0
    for number, (name, before, after) in enumerate(MUTANTS):
        if chosen and number not in chosen:
            continue
        path = ROOT / name
        original = path.read_text()
        if original.count(before) != 1:
            print(f"{number:2} {name}: the line to change is not there once; update this list")
            continue
        try:
            path.write_text(original.replace(before, after))
            built = run("cmake --build build/test --parallel")
            tests = run("ctest --test-dir build/test --timeout 60 -E real_window")
        finally:
            path.write_text(original)
        failed = sorted({line.split(" - ")[1].split()[0] for line in tests.stdout.splitlines()
                         if line.strip()[:1].isdigit() and " - " in line})
        if built.returncode != 0:
            verdict = "does not build"
        elif failed:
            verdict = "caught by " + ", ".join(failed)
        else:
            verdict, survived = "SURVIVED", survived + 1
        print(f"{number:2} {name}: {verdict}", flush=True)
    run("cmake --build build/test --parallel")
    print(f"{survived} survived")


if __name__ == "__main__":
    main()
