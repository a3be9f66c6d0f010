// A stand-in for the Nesticle emulator: shows what it was asked to run and logs every start.
//
// Reads "-run <rom>", "-nosound", "-res W H" and "-setinput 1 KEY1|GRAVIS|JOY1", looks at the
// ROM's iNES header and shows it all in a small window that Alt+Q or the close box ends. Each
// start appends its arguments, exactly as received, as one JSON array line to nesticle.log in the
// stand-in's own folder. On Windows "as received" is what Windows' own parser, CommandLineToArgvW,
// makes of the command line the program was given, and that line itself goes to nesticle.cmdline.
//
// For tests: NESTICLE_STANDIN_EXIT=1 logs and ends at once; NESTICLE_STANDIN_QUIT_AFTER_MS=N
// closes the window after N milliseconds. NESTICLE_STANDIN_FAIL="CODE DELAY_MS TEXT" prints TEXT
// to standard output and standard error, waits DELAY_MS and ends with exit status CODE, or by the
// signal -CODE where signals exist. NESTICLE_STANDIN_SAVE=1 writes a battery save, as an emulator
// does: the ROM's name with ".sav", beside the ROM, one line added per start (the SHA-1 of the
// file it was given). On POSIX the ROM is opened, and its save written, by the name's very bytes,
// which need not be UTF-8.

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLockFile>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#else
#include <fcntl.h>
#endif

namespace {

QStringList receivedArguments(const QString &folder)
{
#ifdef Q_OS_WIN
    QFile line(folder + QStringLiteral("/nesticle.cmdline"));
    if (line.open(QIODevice::Append))
        line.write(QString::fromWCharArray(GetCommandLineW()).toUtf8() + '\n');
    QStringList arguments;
    int count = 0;
    if (wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.append(QString::fromWCharArray(argv[i]));
        LocalFree(argv);
    }
    return arguments;
#else
    Q_UNUSED(folder);
    return QCoreApplication::arguments().mid(1);
#endif
}

void appendLog(const QString &folder, const QStringList &arguments)
{
    QFile log(folder + QStringLiteral("/nesticle.log"));
    if (!log.open(QIODevice::Append))
        return;
    log.write(QJsonDocument(QJsonArray::fromStringList(arguments)).toJson(QJsonDocument::Compact) + '\n');
}

struct Options {
    QString rom;
    int romArgument = -1; // its place among the arguments
    bool sound = true;
    QString resolution = QStringLiteral("default");
    QString input = QStringLiteral("default");
    QStringList unknown;
};

Options parse(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == QLatin1String("-run") && i + 1 < arguments.size()) {
            options.rom = arguments.at(++i);
            options.romArgument = int(i);
        } else if (a == QLatin1String("-nosound")) {
            options.sound = false;
        } else if (a == QLatin1String("-res") && i + 2 < arguments.size()) {
            options.resolution = arguments.at(i + 1) + QLatin1Char('x') + arguments.at(i + 2);
            i += 2;
        } else if (a == QLatin1String("-setinput") && i + 2 < arguments.size()) {
            options.input = arguments.at(i + 2);
            i += 2;
        } else {
            options.unknown.append(a);
        }
    }
    return options;
}

// The ROM's name as the system gave it: its bytes on POSIX, where Qt's own decoding would turn a
// byte that is not UTF-8 into a replacement character and name a file that does not exist.
struct RomName {
    QString text;
    QByteArray bytes;
};

RomName romName(const Options &options, char *argv[])
{
#ifdef Q_OS_WIN
    Q_UNUSED(argv);
    return {options.rom, {}};
#else
    return {options.rom, options.romArgument >= 0 ? QByteArray(argv[options.romArgument + 1]) : QByteArray()};
#endif
}

// Opens a file by its name (bytes on POSIX); the file is closed with the QFile.
bool openByName(QFile &file, const QString &text, const QByteArray &bytes, QIODevice::OpenMode mode)
{
#ifdef Q_OS_WIN
    Q_UNUSED(bytes);
    file.setFileName(text);
    return file.open(mode);
#else
    Q_UNUSED(text);
    const int flags = mode & QIODevice::WriteOnly ? O_WRONLY | O_CREAT | O_APPEND : O_RDONLY;
    const int fd = ::open(bytes.constData(), flags | O_CLOEXEC, 0644);
    return fd >= 0 && file.open(fd, mode, QFileDevice::AutoCloseHandle);
#endif
}

QString describeRom(const RomName &name)
{
    QFile rom;
    if (!openByName(rom, name.text, name.bytes, QIODevice::ReadOnly))
        return QStringLiteral("cannot open the ROM: %1").arg(rom.errorString());
    const QByteArray header = rom.read(16);
    if (header.size() < 16 || !header.startsWith("NES\x1A"))
        return QStringLiteral("not an iNES image");
    const int prg = quint8(header[4]) * 16;
    const int chr = quint8(header[5]) * 8;
    const int mapper = (quint8(header[6]) >> 4) | (quint8(header[7]) & 0xF0);
    return QStringLiteral("iNES image: PRG %1 KB, CHR %2 KB, mapper %3").arg(prg).arg(chr).arg(mapper);
}

// The save's name: the ROM's, its extension made ".sav".
template <class Name, class Char>
Name withSaveExtension(Name rom, Char slash, Char dot)
{
    const auto dotAt = rom.lastIndexOf(dot);
    if (dotAt > rom.lastIndexOf(slash))
        rom.truncate(dotAt);
    rom.append(".sav");
    return rom;
}

void writeSave(const RomName &name)
{
    QFile rom;
    if (name.text.isEmpty() || !openByName(rom, name.text, name.bytes, QIODevice::ReadOnly))
        return;
    QFile save;
    if (openByName(save, withSaveExtension(QDir::fromNativeSeparators(name.text), u'/', u'.'),
                   withSaveExtension(name.bytes, '/', '.'),
                   QIODevice::WriteOnly | QIODevice::Append))
        save.write(QCryptographicHash::hash(rom.readAll(), QCryptographicHash::Sha1).toHex() + '\n');
}

} // namespace

int main(int argc, char *argv[])
{
    QString folder;
    QStringList arguments;
    {
        QCoreApplication probe(argc, argv);
        folder = QCoreApplication::applicationDirPath();
        // Several starts may log at once, and Windows does not append atomically.
        QLockFile lock(folder + QStringLiteral("/nesticle.log.lock"));
        lock.lock();
        arguments = receivedArguments(folder);
        appendLog(folder, arguments);
    }
    if (qEnvironmentVariableIntValue("NESTICLE_STANDIN_SAVE") == 1)
        writeSave(romName(parse(arguments), argv));
    if (qEnvironmentVariableIntValue("NESTICLE_STANDIN_EXIT") == 1)
        return 0;
    if (const QString fail = qEnvironmentVariable("NESTICLE_STANDIN_FAIL"); !fail.isEmpty()) {
        const QStringList parts = fail.split(QLatin1Char(' '));
        const QByteArray text = parts.mid(2).join(QLatin1Char(' ')).toUtf8();
        std::fprintf(stdout, "stand-in output: %s\n", text.constData());
        std::fprintf(stderr, "stand-in error: %s\n", text.constData());
        std::fflush(nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(parts.value(1).toInt()));
        const int code = parts.value(0).toInt();
#ifndef Q_OS_WIN
        if (code < 0)
            std::raise(-code);
#endif
        return code;
    }

    QApplication application(argc, argv);
    const Options options = parse(arguments);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Nesticle (stand-in)"));
    auto *layout = new QVBoxLayout(&window);
    const QStringList lines{
        QStringLiteral("ROM: %1").arg(options.rom.isEmpty() ? QStringLiteral("(none)") : options.rom),
        options.rom.isEmpty() ? QString() : describeRom(romName(options, argv)),
        QStringLiteral("Sound: %1").arg(options.sound ? QStringLiteral("on") : QStringLiteral("off")),
        QStringLiteral("Resolution: %1").arg(options.resolution),
        QStringLiteral("Controller: %1").arg(options.input),
        options.unknown.isEmpty() ? QString() : QStringLiteral("Not understood: %1").arg(options.unknown.join(QLatin1Char(' '))),
        QStringLiteral("Alt+Q quits."),
    };
    for (const QString &line : lines) {
        if (!line.isEmpty())
            layout->addWidget(new QLabel(line));
    }
    auto *quit = new QShortcut(QKeySequence(QStringLiteral("Alt+Q")), &window);
    QObject::connect(quit, &QShortcut::activated, &window, &QWidget::close);
    if (const int ms = qEnvironmentVariableIntValue("NESTICLE_STANDIN_QUIT_AFTER_MS"); ms > 0)
        QTimer::singleShot(ms, &window, &QWidget::close);
    window.show();
    return application.exec();
}
