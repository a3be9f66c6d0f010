// Starts the real stand-in emulator through the main window and reads what it received.

#include "app/form1.h"
#include "config/directories.h"
#include "forms/filelistbox.h"
#include "testutil.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace testutil;

namespace {

QList<QStringList> logLines(const QString &log)
{
    QList<QStringList> lines;
    for (const QByteArray &line : readAll(log).split('\n')) {
        if (line.isEmpty())
            continue;
        QStringList arguments;
        for (const QJsonValue &value : QJsonDocument::fromJson(line).array())
            arguments.append(value.toString());
        lines.append(arguments);
    }
    return lines;
}

QList<QStringList> waitForLines(const QString &log, int count)
{
    QDeadlineTimer deadline(20000);
    QList<QStringList> lines = logLines(log);
    while (lines.size() < count && !deadline.hasExpired()) {
        QTest::qWait(20);
        lines = logLines(log);
    }
    return lines;
}

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("NESTICLE_STANDIN_EXIT", "1"); }
    void hostileNamesArriveAsOneArgument();
    void missingEmulatorIsReported();
    void startsInTheGivenFolderAndReportsFailures();
};

void TestEndToEnd::hostileNamesArriveAsOneArgument()
{
    QTemporaryDir dir;
    const QString app = dir.filePath(QStringLiteral("emu"));
    const QString roms = dir.filePath(QStringLiteral("my roms")) + QLatin1Char('/');
    QDir().mkpath(app);
    QDir().mkpath(roms);
    QVERIFY(QFile::copy(QStringLiteral(STANDIN_EMULATOR), app + QStringLiteral("/nesticle.exe")));
    const QStringList names{
        QStringLiteral("Super Mario Bros. (W) [!].nes"), QStringLiteral("say \"hi\".nes"),
        QStringLiteral("a;b&c|d$(touch x)`id`.nes"), QStringLiteral("it's.nes"),
        QStringLiteral("\u00FCn\u00EFc\u00F6d\u00E9 \u30B2\u30FC\u30E0.nes"), QStringLiteral("back\\slash\\.nes"),
        QStringLiteral(" leading.nes"), QStringLiteral("tab\there.nes"), QStringLiteral("-nosound.nes"),
    };
    for (const QString &name : names)
        writeFile(roms + name, "NES\x1A\x01\x01");
    const QString config = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(config, "[Quorvane v1.0b Config File]\r\nRoms=" + roms.toUtf8() + "\r\n");

    Recorder recorder;
    app::AppContext context = recorder.context(app, config);
    context.start = platform::startDetached; // the real thing
    app::Form1 window(context);
    window.Form_Load();
    QCOMPARE(window.fileList(1)->listCount(), int(names.size()));
    window.check1()->setValue(0);
    for (const QString &name : names) {
        QVERIFY(window.fileList(1)->selectFile(name));
        window.File1_DblClick();
    }
    const QList<QStringList> lines = waitForLines(app + QStringLiteral("/nesticle.log"), int(names.size()));
    QVERIFY(recorder.messages.isEmpty());
    QCOMPARE(lines.size(), names.size());
    QStringList received;
    for (const QStringList &arguments : lines) {
        QCOMPARE(arguments.size(), 9);
        QCOMPARE(arguments.mid(2), (QStringList{"-nosound", "-res", "320", "240", "-setinput", "1", "GRAVIS"}));
        QCOMPARE(arguments.at(0), QStringLiteral("-run"));
        received.append(arguments.at(1));
    }
    QStringList expected;
    for (const QString &name : names)
        expected.append(roms + name);
    received.sort();
    expected.sort();
    QCOMPARE(received, expected);
    QVERIFY(!QFileInfo::exists(app + QStringLiteral("/x"))); // nothing went through a shell
}

void TestEndToEnd::missingEmulatorIsReported()
{
    QTemporaryDir dir;
    const QString roms = dir.filePath(QStringLiteral("roms/"));
    writeFile(roms + QStringLiteral("a.nes"), "x");
    writeFile(dir.filePath(QStringLiteral("quorvane.ini")), "[Quorvane v1.0b Config File]\r\nRoms=" + roms.toUtf8() + "\r\n");
    Recorder recorder;
    app::AppContext context = recorder.context(dir.path(), dir.filePath(QStringLiteral("quorvane.ini")));
    context.start = platform::startDetached;
    app::Form1 window(context);
    window.Form_Load();
    QVERIFY(window.fileList(1)->selectFile(QStringLiteral("a.nes")));
    window.File1_DblClick();
    QCOMPARE(recorder.messages.size(), 1);
    QVERIFY(recorder.messages[0].text.contains(QDir::toNativeSeparators(dir.filePath(QStringLiteral("nesticle.exe")))));
    window.File1_DblClick(); // and again: the program goes on
    QCOMPARE(recorder.messages.size(), 2);
}

void TestEndToEnd::startsInTheGivenFolderAndReportsFailures()
{
#ifdef Q_OS_WIN
    QSKIP("uses a POSIX shell as the started program");
#else
    QTemporaryDir dir;
    const platform::StartResult started = platform::startDetached(
        QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("pwd > where.txt")}, dir.path());
    QVERIFY2(started.started, qPrintable(started.error));
    QDeadlineTimer deadline(10000);
    while (readAll(dir.filePath(QStringLiteral("where.txt"))).isEmpty() && !deadline.hasExpired())
        QTest::qWait(20);
    QCOMPARE(QDir(QString::fromLocal8Bit(readAll(dir.filePath(QStringLiteral("where.txt"))).trimmed())).canonicalPath(),
             QDir(dir.path()).canonicalPath());

    const platform::StartResult missing =
        platform::startDetached(dir.filePath(QStringLiteral("no-such-program")), {}, dir.path());
    QVERIFY(!missing.started);
    QVERIFY(!missing.error.isEmpty());
#endif
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
