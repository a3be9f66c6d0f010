// The main window grown, its pictures by title, the cover view and the sort orders.
#include "romtests.h"
#include "windowtest.h"

#include <QAction>

namespace {

// Folder 1 of a layout holding sound ROMs only: no row ever gets a warning's mark, so the window
// looks the same whenever their checks end.
struct SoundRoms : Layout {
    SoundRoms()
    {
        const QByteArray data = header(1, 1) + QByteArray(24 * 1024, '\x5A');
        for (const char *name : {"Adventure (USA).nes", "Mega Man 2 (Europe) (Rev A).nes", "Zelda II - The Adventure of Link (USA).nes"})
            writeFile(rom(0) + QLatin1String(name), data + name);
        QDir().mkpath(app() + u"/snap"_s);
        writeFile(config(), configFor(rom(0), rom(1), rom(2)));
    }
};

QImage shot(QWidget *window)
{
    QApplication::processEvents();
    return window->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestCovers : public QObject
{
    Q_OBJECT

private slots:
    // At its first size the window is, pixel for pixel, what it was while it could not grow. The
    // picture was taken of that window; QUORVANE_WRITE_LOOKS=1 takes it again.
    void theFirstSizeLooksAsItAlwaysHas()
    {
#ifdef Q_OS_WIN
        QSKIP("the picture is of Qt's own style on the offscreen platform");
#endif
        SoundRoms f;
        const auto w = f.loaded();
        w->adjustSize();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QTRY_COMPARE(MainControls(w.get()).count(0)->text(), u"ROMs : 3"_s);
        const QString reference = QStringLiteral(LOOKS_DIR "/main-window.png");
        const QImage now = shot(w.get());
        if (qEnvironmentVariableIsSet("QUORVANE_WRITE_LOOKS"))
            QVERIFY(now.save(reference));
        const QImage before = QImage(reference).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(now.size(), before.size());
        if (now != before) {
            now.save(QDir::temp().filePath(u"main-window-now.png"_s));
            QFAIL("the window differs from tests/looks/main-window.png (saved as main-window-now.png in the temporary folder)");
        }
    }
};

QTEST_MAIN(TestCovers)
#include "tst_covers.moc"
