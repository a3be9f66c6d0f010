// The real stand-in emulator started through the main window, and the process start itself.

#include "forms/filelistbox.h"
#include "testutil.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>

using namespace testutil;

class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void hostileNamesArriveAsOneArgument();
};

void TestEndToEnd::hostileNamesArriveAsOneArgument()
{
    qputenv("NESTICLE_STANDIN_EXIT", "1"); // the stand-in logs its arguments and ends
    Layout layout;
    const QString roms = QDir::toNativeSeparators(layout.dir.filePath(QStringLiteral("my roms")) + QLatin1Char('/'));
    QStringList names{
        QStringLiteral("Super Mario Bros. (W) [!].nes"), QStringLiteral("a;b&c^d$(touch x)`id`.nes"),
        QStringLiteral("it's.nes"), QStringLiteral("%PATH% 100%.nes"), QStringLiteral("-nosound.nes"),
        QStringLiteral("\u00FCn\u00EFc\u00F6d\u00E9 \u30B2\u30FC\u30E0.nes"), QStringLiteral(" leading.nes"),
    };
#ifndef Q_OS_WIN // names Windows does not allow
    names << QStringLiteral("say \"hi\".nes") << QStringLiteral("pipe|d.nes") << QStringLiteral("back\\slash\\.nes")
          << QStringLiteral("tab\there.nes");
#endif
    for (const QString &name : names)
        writeFile(roms + name, "NES\x1A");
    writeFile(layout.config(), "[Quorvane v1.0b Config File]\r\nRoms=" + roms.toUtf8() + "\r\n");
    QDir().mkpath(layout.app());

    app::AppContext context = layout.recorder.context(layout.app(), layout.config());
    context.start = platform::startDetached; // the real thing
    app::MainWindow window(context);
    window.Form_Load();
    window.fileList(1)->selectFile(names.front());
    window.File1_DblClick(); // no emulator yet: said, and the window goes on
    QCOMPARE(layout.recorder.messages.size(), 1);
    QVERIFY(layout.recorder.messages[0].text.contains(QDir::toNativeSeparators(layout.app() + "/nesticle.exe")));

    QVERIFY(QFile::copy(QStringLiteral(STANDIN_EMULATOR), layout.app() + QStringLiteral("/nesticle.exe")));
    window.check1()->setValue(0);
    for (const QString &name : names) {
        QVERIFY(window.fileList(1)->selectFile(name));
        window.File1_DblClick();
    }
    const QString log = layout.app() + QStringLiteral("/nesticle.log");
    QDeadlineTimer deadline(20000);
    while (readAll(log).count('\n') < names.size() && !deadline.hasExpired())
        QTest::qWait(20);
    QStringList received;
    for (const QByteArray &line : readAll(log).split('\n')) {
        const QJsonArray arguments = QJsonDocument::fromJson(line).array();
        if (line.isEmpty())
            continue;
        QCOMPARE(arguments.size(), 9);
        QCOMPARE(arguments.at(0).toString(), QStringLiteral("-run"));
        QCOMPARE(arguments.at(2).toString(), QStringLiteral("-nosound"));
        received.append(arguments.at(1).toString());
    }
    QStringList expected;
    for (const QString &name : names)
        expected.append(roms + name);
    received.sort();
    expected.sort();
    QCOMPARE(received.join(QLatin1Char('\n')), expected.join(QLatin1Char('\n')));
    QCOMPARE(layout.recorder.messages.size(), 1);
    QVERIFY(!QFileInfo::exists(layout.app() + QStringLiteral("/x"))); // no shell ran anything
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
