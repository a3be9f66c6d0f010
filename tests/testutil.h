#pragma once
// Helpers shared by the tests: temporary application folders, recording starters and notifiers,
// and answering modal dialogs.

#include "app/form1.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace testutil {

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(bytes);
}

struct StartCall {
    QString program;
    QStringList arguments;
    QString workingFolder;
};

struct Message {
    QString title;
    QString text;
};

// A context over temporary folders whose starter and notifier record what they are given.
struct Recorder {
    QList<StartCall> starts;
    QList<Message> messages;
    bool startSucceeds = true;

    app::AppContext context(const QString &applicationFolder, const QString &configFile)
    {
        app::AppContext c;
        c.applicationFolder = applicationFolder;
        c.configFile = configFile;
        c.start = [this](const QString &program, const QStringList &arguments, const QString &folder) {
            starts.append({program, arguments, folder});
            platform::StartResult result;
            result.started = startSucceeds;
            if (!startSucceeds)
                result.error = QStringLiteral("refused by the test");
            return result;
        };
        c.notify = [this](QWidget *, const QString &title, const QString &text) {
            messages.append({title, text});
        };
        return c;
    }
};

// A temporary application folder, ROM folders and configuration file, and a main window over them.
struct Layout {
    QTemporaryDir dir;
    Recorder recorder;
    QString app() const { return dir.filePath(QStringLiteral("emu")); }
    QString rom(int n) const { return dir.filePath(QStringLiteral("roms%1").arg(n)) + QLatin1Char('/'); }
    QString config() const { return dir.filePath(QStringLiteral("etc/quorvane.ini")); }

    // The window after start-up.
    std::unique_ptr<app::Form1> loaded()
    {
        auto window = std::make_unique<app::Form1>(recorder.context(app(), config()));
        window->Form_Load();
        return window;
    }
};

// Runs action on the next modal window that is not `under` once it is shown.
inline void onNextModal(QWidget *under, std::function<void(QWidget *)> action, int attempts = 200)
{
    QTimer::singleShot(10, [under, action, attempts] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && modal != under && modal->isVisible()) {
            action(modal);
        } else if (attempts > 0) {
            onNextModal(under, action, attempts - 1);
        }
    });
}

// The same sequence of bytes as a string with visible line ends, for readable failures.
inline QByteArray visible(QByteArray bytes)
{
    return bytes.replace("\r", "\\r").replace("\n", "\\n");
}

} // namespace testutil
