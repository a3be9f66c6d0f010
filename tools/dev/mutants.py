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
    ("src/config/profilefile.cpp", "        if (breaksLine(value)) {", "        if (false) {"),
    ("src/config/profilefile.cpp", "    if (!info.isFile()) {", "    if (false) {"),
    ("src/config/profilefile.cpp", "    const Utf16 order = utf16Order(contents);\n    if (order != Utf16::No) {\n        QByteArray utf8",
     "    const Utf16 order = utf16Order(contents);\n    if (false) {\n        QByteArray utf8"),
    ("src/platform/filerewrite_posix.cpp", "    if (!lockExclusive(fd, &code))", "    if (false)"),
    ("src/platform/filerewrite_posix.cpp", "        ::unlink(temporary.constData());\n        return fail(code);", "        return fail(code);"),
    ("src/platform/filenames.cpp", "            bytes.append(char(c - kEscapeBase));", "            bytes.append('?');"),
    ("src/launch/launchcommand.cpp", "return isSeparator(c) || c == QLatin1Char('\"');", "return isSeparator(c);"),
    ("src/launch/launchcommand.cpp", "quoted += QString(backslashes * 2, QLatin1Char('\\\\'));\n    quoted += QLatin1Char('\"');",
     "quoted += QString(backslashes, QLatin1Char('\\\\'));\n    quoted += QLatin1Char('\"');"),
    ("src/launch/emulator.cpp", "    if (!QFileInfo(program).isFile())\n", "    if (false)\n"),
    ("src/platform/emulatorhost_posix.cpp", "        if (path.contains(QLatin1Char('\\\\'))) {", "        if (false) {"),
    ("src/forms/filelistbox.cpp", "return keepingSelection(QListView::selectionCommand(index, event));", "return QListView::selectionCommand(index, event);"),
    ("src/forms/filelistbox.cpp", "&& !fileName().isEmpty()) {", ") {"),
    ("src/forms/filelistbox.cpp", "        if (!event->isAutoRepeat())\n", ""),
    ("src/forms/dirlistbox.cpp", "        if (itemData(index).toString() == m_drive)\n            return;", ""),
    ("src/platform/dirscan_posix.cpp", "        if (name[0] == '.')\n            continue; // hidden, and \".\" and \"..\"\n        const size_t length", "        const size_t length"),
    ("src/platform/process_posix.cpp", "        posix_spawn_file_actions_addchdir_np(&actions, folder.constData());", "        ;"),
    ("src/help/readme.cpp", "    if (!start({kOpener, command.arguments, {}, QDir::currentPath(), {}}, watch, nullptr))\n        fallback();",
     "    start({kOpener, command.arguments, {}, QDir::currentPath(), {}}, watch, nullptr);"),
    ("src/dialogs/romfoldersdialog.cpp", "m_form.folderFields[0]->setFocus(Qt::OtherFocusReason);", "m_form.folderFields[1]->setFocus(Qt::OtherFocusReason);"),
    ("src/app/mainwindow.cpp", "m_form.resolution->selectedIndex(),", "m_form.resolution->currentRow(),"),
    ("src/app/mainwindow.cpp", "    QDir::setCurrent(m_context.applicationFolder);\n", ""),
    ("src/app/mainwindow.cpp", "    if (m_context.folderPatience.count() > 0 || isVisible()) {", "    if (true) {"),
    ("src/forms/controls.cpp", "    setFocusPolicy(Qt::NoFocus);\n", ""),
    ("src/forms/formdefs.cpp", ".tab(1).named(\"Resolution\"),", ".tab(1),"),
    ("src/forms/dirlistbox.cpp", "    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && event->modifiers() == Qt::NoModifier\n        && currentItem()) {",
     "    if (false) {"),
    ("src/launch/launchcommand.cpp", "    return joined ? folder + fileName : folder + QDir::separator() + fileName;", "    return folder + fileName;"),
    ("src/forms/formbuilder.cpp", "        return builtInFamily(\"LiberationSans-Regular.ttf\");", "        return QStringLiteral(\"DejaVu Sans\");"),
    ("src/library/folders/romfolder.cpp", "    m_folder = platform::absoluteFolder(text, m_applicationFolder);", "    m_folder = text;"),
    ("src/preview/jpegclip.cpp", "const int rows = std::min(maxHeight, int(info.output_height));", "const int rows = int(info.output_height);"),
    ("src/preview/snapshot.cpp", " || !plausible(bytes))", ")"),
    ("src/library/folders/romnames.cpp", "confirmed = byCollator < 0 || (byCollator == 0 && sortedName(i - 1) < bytes);", "confirmed = true;"),
    ("src/library/folders/romnames.cpp", "            radixSort(begin + bounds[value], begin + bounds[value + 1], at + 1, less);", "            ;"),
    ("src/library/folders/folderwatcher.cpp", "                watcher->removePath(folder);", "                ;"),
    ("src/library/folders/folderwatcher.cpp", "            if (watcher->addPath(listed.path) && QFileInfo(listed.path).lastModified() != listed.modified)",
     "            if (watcher->addPath(listed.path) && false)"),
    ("src/platform/receiver.cpp", "            receiver->m_object = nullptr;", "            ;"),
    ("src/platform/filenames.cpp", " && !bytes.startsWith(\"\\xEF\\xBB\\xBF\"))", ")"),
    ("src/platform/workqueue.cpp", "        cancel();\n}", "        waitForIdle(std::chrono::hours(1));\n}"),
    ("src/forms/controls.cpp", "    strip->setFocusPolicy(Qt::TabFocus);\n", ""),
    ("src/forms/filelistbox.cpp", "        m_selectedGoing = !selected.isEmpty() && selected", "        m_selectedGoing = false && selected"),
    ("src/preview/snapshot.cpp", "    return kept == image.size() ? image : image.copy(QRect(QPoint(0, 0), kept));", "    return image;"),
    ("src/preview/snapshot.cpp", "+ launch::replaceAll(name, QStringLiteral(\".nes\"), QStringLiteral(\".jpg\"));", "+ name;"),
    ("src/library/folders/romfolder.cpp", "    while (!info.isDir()) {", "    while (false) {"),
    ("src/library/folders/romfolder.cpp", "    return {canonical.isEmpty() ? info.absoluteFilePath() : canonical, info.lastModified()};",
     "    return {info.absoluteFilePath(), info.lastModified()};"),
    ("src/launch/launchcommand.cpp", "    return kEmulatorProgram + QStringLiteral(\" -run\") + blank + quotedArgument(romPath) + blank",
     "    return kEmulatorProgram + QStringLiteral(\" -run\") + blank + romPath + blank"),
    ("src/library/folders/romfilter.cpp", "[&](const QByteArray &word) { return name.indexOf(word) >= 0; }", "[&](const QByteArray &) { return true; }"),
    ("src/forms/filelistbox.cpp", "    const int from = current < 0 ? 0 : sameLetter ? current + 1 : current;", "    const int from = current < 0 ? 0 : current;"),
    ("src/app/selectionrestorer.cpp", "    if (slot == m_find->slot() || m_selection.folders[size_t(slot)] != m_library->folder(slot)->listedFolder())", "    if (slot == m_find->slot())"),
    ("src/app/launcher.cpp", "    else if (!file.fileName().endsWith(QStringLiteral(\".nes\"), Qt::CaseInsensitive) && !archive)", "    else if (false)"),
    ("src/platform/textfold.cpp", "        if (c.category() != QChar::Mark_NonSpacing)", "        if (true)"),
    ("src/library/folders/romlistmodel.cpp", "        if (from == begin || from[-1] == '\\0') {", "        if (true) {"),
    ("src/library/folders/romlistmodel.cpp", "    if (batch.names().constData() == m_buffer.constData()) {", "    if (true) {"),
    ("src/forms/filelistbox.cpp", "        scrollTo(std::exchange(m_centreWhenShown, QPersistentModelIndex()), QAbstractItemView::PositionAtCenter);",
     "        m_centreWhenShown = QPersistentModelIndex();"),
]


def run(command):
    return subprocess.run(command, cwd=ROOT, shell=True, capture_output=True, text=True)


def failed_tests(output):
    return sorted({line.split(" - ")[1].split()[0] for line in output.splitlines()
                   if line.strip()[:1].isdigit() and " - " in line})


def main():
    chosen = {int(a) for a in sys.argv[1:]}
    # A red suite would count every mutant as caught: the code as it stands must pass first.
    built = run("cmake --build build/test --parallel $(nproc)")
    tests = run("ctest --test-dir build/test --timeout 600 -E real_window")
    if built.returncode != 0 or tests.returncode != 0:
        print("The suite does not pass without mutants, so no mutant is tried.")
        print("Does not build." if built.returncode != 0 else "Failing: " + ", ".join(failed_tests(tests.stdout)))
        sys.exit(1)
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
            built = run("cmake --build build/test --parallel $(nproc)")
            tests = run("ctest --test-dir build/test --timeout 60 --stop-on-failure -E real_window")
        finally:
            path.write_text(original)
        failed = failed_tests(tests.stdout)
        if built.returncode != 0:
            verdict = "does not build"
        elif failed:
            verdict = "caught by " + ", ".join(failed)
        else:
            verdict, survived = "SURVIVED", survived + 1
        print(f"{number:2} {name}: {verdict}", flush=True)
    run("cmake --build build/test --parallel $(nproc)")
    print(f"{survived} survived")
    sys.exit(1 if survived else 0)


if __name__ == "__main__":
    main()
