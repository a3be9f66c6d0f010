#include "launch/emulatordefinitions.h"

#include "launch/launchcommand.h"
#include "platform/filenames.h"
#include "platform/regularfile.h"

#include <QDir>
#include <QFile>

#include <array>

namespace launch {

namespace {

constexpr qsizetype kMaxLine = 4096;
const QString kOwnSection = QStringLiteral("quorvane"); // the user's file: their default

const QString kRom = QStringLiteral("{rom}"), kRomDir = QStringLiteral("{rom.dir}"), kRomName = QStringLiteral("{rom.name}"),
              kCore = QStringLiteral("{core}"), kSound = QStringLiteral("{sound}"), kResolution = QStringLiteral("{resolution}"),
              kController = QStringLiteral("{controller}");

struct Word {
    QString text;
    bool quoted = false;
};

// Blanks and tabs separate words; double quotes group blanks into one (and make an empty word).
// false when a quote is left open.
bool splitWords(const QString &text, QList<Word> *words)
{
    Word word;
    bool inWord = false, inQuotes = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            inQuotes = !inQuotes;
            inWord = word.quoted = true;
        } else if (!inQuotes && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (inWord)
                words->append(std::exchange(word, Word()));
            inWord = false;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inWord)
        words->append(word);
    return !inQuotes;
}

bool isSwitchPlaceholder(const Word &word)
{
    return !word.quoted && (word.text == kSound || word.text == kResolution || word.text == kController);
}

// Replaces each placeholder of word in one pass, so that a value holding braces stays as it is.
// values: placeholder and value, in pairs. false, with the unknown placeholder, when one is not
// among them.
bool fillPlaceholders(const QString &word, const QList<std::pair<QString, QString>> &values, QString *filled, QString *unknown)
{
    filled->clear();
    qsizetype at = 0;
    while (at < word.size()) {
        const qsizetype open = word.indexOf(QLatin1Char('{'), at);
        const qsizetype close = open < 0 ? -1 : word.indexOf(QLatin1Char('}'), open);
        if (close < 0) {
            *filled += word.mid(at);
            break;
        }
        *filled += word.mid(at, open - at);
        const QString name = word.mid(open, close - open + 1);
        const auto value = std::find_if(values.cbegin(), values.cend(), [&name](const auto &pair) { return pair.first == name; });
        if (value == values.cend()) {
            *unknown = name;
            return false;
        }
        *filled += value->second;
        at = close + 1;
    }
    return true;
}

const QList<std::pair<QString, QString>> &placeholderNames()
{
    static const QList<std::pair<QString, QString>> names{{kRom, {}}, {kRomDir, {}}, {kRomName, {}}, {kCore, {}}};
    return names;
}

QStringList listOf(const QString &value)
{
    QStringList items = value.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (QString &item : items)
        item = item.trimmed();
    items.removeAll(QString());
    return items;
}

// What is wrong with the words of a switch, where only these placeholders may stand.
QString switchProblem(const QString &words, const QStringList &allowed)
{
    QList<std::pair<QString, QString>> values;
    for (const QString &name : allowed)
        values.append({name, QString()});
    QString filled, unknown;
    if (!fillPlaceholders(words, values, &filled, &unknown))
        return QStringLiteral("%1 is no placeholder a switch can hold").arg(unknown);
    if (words.contains(QLatin1Char('"')))
        return QStringLiteral("a switch's words cannot be quoted");
    return QString();
}

struct Parser {
    QString fileName;
    bool own;
    DefinitionsRead read;
    EmulatorDefinition current;
    int sectionLine = 0;
    bool inOwnSection = false;
    QStringList problemsOfCurrent;

    void problem(int line, const QString &what) { read.problems << QStringLiteral("%1, line %2: %3").arg(fileName).arg(line).arg(what); }

    void finishSection()
    {
        if (current.id.isEmpty())
            return;
        QString why;
        const QString templateWhy = templateProblem(current.arguments);
        if (current.name.isEmpty())
            why = QStringLiteral("it has no Name");
        else if (!templateWhy.isEmpty())
            why = QStringLiteral("its Arguments: %1").arg(templateWhy);
        else if (own && current.program.isEmpty())
            why = QStringLiteral("it names no Program");
        else if (!own && current.linuxPrograms.isEmpty() && current.windowsPrograms.isEmpty())
            why = QStringLiteral("it names no LinuxProgram or WindowsProgram");
        else if (!current.resolution.isEmpty() && !(why = switchProblem(current.resolution, {QStringLiteral("{width}"), QStringLiteral("{height}")})).isEmpty())
            why = QStringLiteral("its Resolution: %1").arg(why);
        for (const QString &words : QStringList{current.soundOn, current.soundOff} + current.controllers) {
            if (why.isEmpty() && !switchProblem(words, {}).isEmpty())
                why = QStringLiteral("its switch \"%1\": %2").arg(words, switchProblem(words, {}));
        }
        if (why.isEmpty() && std::any_of(read.definitions.cbegin(), read.definitions.cend(),
                                         [this](const EmulatorDefinition &known) { return known.id == current.id; }))
            why = QStringLiteral("another section has the same name");
        if (why.isEmpty() && read.definitions.size() >= kMaxDefinitions)
            why = QStringLiteral("the file holds more than %1 emulators").arg(kMaxDefinitions);
        if (!why.isEmpty())
            problem(sectionLine, QStringLiteral("the emulator [%1] is left out: %2.").arg(current.id, why));
        else
            read.definitions.append(current);
        current = EmulatorDefinition();
    }

    void take(int line, const QString &key, const QString &value)
    {
        const QString k = key.toLower();
        if (inOwnSection) {
            if (k == QLatin1String("default"))
                read.defaultId = value.toLower();
            return;
        }
        if (current.id.isEmpty()) {
            problem(line, QStringLiteral("\"%1\" stands before any [section].").arg(key));
            return;
        }
        if (k == QLatin1String("name")) current.name = value;
        else if (k == QLatin1String("linuxprogram")) current.linuxPrograms = listOf(value);
        else if (k == QLatin1String("windowsprogram")) current.windowsPrograms = listOf(value);
        else if (k == QLatin1String("linuxfolders")) current.linuxFolders = listOf(value);
        else if (k == QLatin1String("windowsfolders")) current.windowsFolders = listOf(value);
        else if (k == QLatin1String("flatpak")) current.flatpaks = listOf(value);
        else if (k == QLatin1String("arguments")) current.arguments = value;
        else if (k == QLatin1String("core")) current.core = value;
        else if (k == QLatin1String("linuxcorefolders")) current.linuxCoreFolders = listOf(value);
        else if (k == QLatin1String("windowscorefolders")) current.windowsCoreFolders = listOf(value);
        else if (k == QLatin1String("soundon")) current.soundOn = value;
        else if (k == QLatin1String("soundoff")) current.soundOff = value;
        else if (k == QLatin1String("resolution")) current.resolution = value;
        else if (k == QLatin1String("controller")) current.controllers = value.split(QLatin1Char('|')); // an empty item: no switch for it
        else if (k == QLatin1String("archives")) {
            const QStringList kinds = value.toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            current.readsZip = kinds.contains(QStringLiteral("zip"));
            current.reads7z = kinds.contains(QStringLiteral("7z"));
        } else if (k == QLatin1String("program") && own) current.program = value;
        // Any other key is a newer Quorvane's, and read by that one.
    }
};

} // namespace

bool EmulatorDefinition::readsArchive(const QString &fileName) const
{
    return (readsZip && fileName.endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive))
        || (reads7z && fileName.endsWith(QStringLiteral(".7z"), Qt::CaseInsensitive));
}

const QStringList &EmulatorDefinition::programs() const
{
#ifdef Q_OS_WIN
    return windowsPrograms;
#else
    return linuxPrograms;
#endif
}

QString templateProblem(const QString &arguments)
{
    QList<Word> words;
    if (!splitWords(arguments, &words))
        return QStringLiteral("a double quote is left open");
    bool namesRom = false;
    for (const Word &word : words) {
        if (isSwitchPlaceholder(word))
            continue;
        QString filled, unknown;
        if (!fillPlaceholders(word.text, placeholderNames(), &filled, &unknown)) {
            const bool aSwitch = unknown == kSound || unknown == kResolution || unknown == kController;
            return aSwitch ? QStringLiteral("%1 must stand alone as a word").arg(unknown)
                           : QStringLiteral("%1 is no placeholder; they are {rom}, {rom.dir}, {rom.name}, {core}, {sound}, "
                                            "{resolution} and {controller}").arg(unknown);
        }
        namesRom = namesRom || word.text.contains(kRom) || word.text.contains(kRomName);
    }
    if (!namesRom)
        return QStringLiteral("it holds neither {rom} nor {rom.name}, so the emulator would not be given the game");
    return QString();
}

DefinitionsRead parseDefinitions(const QByteArray &contents, const QString &fileName, bool own)
{
    Parser parser{fileName, own, {}, {}, 0, false, {}};
    if (contents.size() > kMaxDefinitionsFileSize) {
        parser.problem(1, QStringLiteral("the file is larger than %1 KB, too large for emulator definitions.").arg(kMaxDefinitionsFileSize / 1024));
        return parser.read;
    }
    const QByteArrayView bytes = contents.startsWith("\xEF\xBB\xBF") ? QByteArrayView(contents).sliced(3) : QByteArrayView(contents);
    int lineNumber = 0;
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        if (end < 0)
            end = bytes.size();
        QByteArrayView lineBytes = bytes.sliced(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (lineBytes.endsWith('\r'))
            lineBytes.chop(1);
        if (lineBytes.size() > kMaxLine) {
            parser.problem(lineNumber, QStringLiteral("the line is longer than %1 characters.").arg(kMaxLine));
            continue;
        }
        const QString line = platform::fromUtf8Lossless(lineBytes).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            parser.finishSection();
            if (!line.endsWith(QLatin1Char(']'))) {
                parser.problem(lineNumber, QStringLiteral("a section's name is not closed with \"]\"."));
                parser.inOwnSection = false;
                continue;
            }
            const QString id = line.mid(1, line.size() - 2).trimmed().toLower();
            parser.inOwnSection = id == kOwnSection;
            const bool valid = !id.isEmpty() && std::all_of(id.cbegin(), id.cend(), [](QChar c) {
                return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('_');
            });
            if (!parser.inOwnSection && !valid) {
                parser.problem(lineNumber, QStringLiteral("[%1] is no emulator's name: use letters, digits, \"-\" and \"_\".").arg(id));
                continue;
            }
            if (!parser.inOwnSection) {
                parser.current.id = id;
                parser.current.own = own;
                parser.sectionLine = lineNumber;
            }
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) {
            parser.problem(lineNumber, QStringLiteral("the line is neither a [section] nor Key=Value."));
            continue;
        }
        parser.take(lineNumber, line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
    }
    parser.finishSection();
    return parser.read;
}

DefinitionsRead readDefinitions(const QString &path, bool own)
{
    QFile file(path);
    if (!file.exists())
        return {};
    // Opened as a regular file only: a FIFO or a device named so would never end.
    platform::RegularFile regular;
    QByteArray contents(kMaxDefinitionsFileSize + 1, Qt::Uninitialized);
    qint64 got = 0, total = 0;
    const bool opened = regular.open(path);
    while (opened && total < contents.size() && (got = regular.read(contents.data() + total, contents.size() - total)) > 0)
        total += got;
    const QString shown = platform::displayName(QDir::toNativeSeparators(path));
    if (!opened || got < 0) {
        DefinitionsRead read;
        read.problems << QStringLiteral("%1 cannot be read: %2.")
                              .arg(shown, opened ? QStringLiteral("a read failed")
                                                 : QStringLiteral("it cannot be opened (no permission, or it is no regular file)"));
        return read;
    }
    contents.truncate(total);
    return parseDefinitions(contents, shown, own);
}

QByteArray userDefinitionsText(const QList<EmulatorDefinition> &own, const QString &defaultId)
{
    QString text = QStringLiteral("; Your own emulators, and your default, as Options > Emulators keeps them.\n"
                                  "; The keys are those of emulators.ini, shipped beside Quorvane; Program is the program file.\n");
    if (!defaultId.isEmpty())
        text += QStringLiteral("\n[Quorvane]\nDefault=%1\n").arg(defaultId);
    for (const EmulatorDefinition &definition : own) {
        text += QStringLiteral("\n[%1]\nName=%2\nProgram=%3\nArguments=%4\n").arg(definition.id, definition.name, definition.program, definition.arguments);
        QStringList archives;
        if (definition.readsZip)
            archives << QStringLiteral("zip");
        if (definition.reads7z)
            archives << QStringLiteral("7z");
        if (!archives.isEmpty())
            text += QStringLiteral("Archives=%1\n").arg(archives.join(QLatin1Char(' ')));
    }
    return platform::toUtf8Lossless(text);
}

QString idForName(const QString &name, const QStringList &taken)
{
    QString base;
    for (const QChar c : name.toLower()) {
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            base += c;
    }
    if (base.isEmpty())
        base = QStringLiteral("emulator");
    QString id = base;
    for (int n = 2; taken.contains(id) || id == kOwnSection; ++n)
        id = base + QString::number(n);
    return id;
}

bool expandCommand(const EmulatorDefinition &definition, const QString &programName, const QString &romPath,
                   const QString &corePath, const LaunchOptionsState &options, ExpandedCommand *command, QString *error)
{
    QList<Word> words;
    if (!splitWords(definition.arguments, &words)) {
        *error = QStringLiteral("The arguments of %1 leave a double quote open.").arg(definition.name);
        return false;
    }
#ifdef Q_OS_WIN
    const qsizetype cut = std::max(romPath.lastIndexOf(QLatin1Char('/')), romPath.lastIndexOf(QLatin1Char('\\')));
#else
    const qsizetype cut = romPath.lastIndexOf(QLatin1Char('/'));
#endif
    const QString romFolder = cut < 0 ? QString() : cut == 0 ? romPath.left(1) : romPath.left(cut);
    const QList<std::pair<QString, QString>> values{
        {kRom, romPath}, {kRomDir, romFolder}, {kRomName, romPath.mid(cut + 1)}, {kCore, corePath}};
    static const std::array<std::pair<int, int>, 6> sizes{{{256, 224}, {256, 240}, {256, 256}, {320, 200}, {320, 240}, {640, 480}}};

    *command = ExpandedCommand();
    QStringList linePieces{windowsQuoted(programName)};
    for (const Word &word : words) {
        if (isSwitchPlaceholder(word)) {
            QString words;
            if (word.text == kSound) {
                words = options.sound == Qt::Unchecked ? definition.soundOff : definition.soundOn;
            } else if (word.text == kResolution) {
                if (options.resolution >= 0 && size_t(options.resolution) < sizes.size() && definition.hasResolutionSwitch()) {
                    const auto [width, height] = sizes[size_t(options.resolution)];
                    fillPlaceholders(definition.resolution, {{QStringLiteral("{width}"), QString::number(width)},
                                                             {QStringLiteral("{height}"), QString::number(height)}},
                                     &words, error);
                }
            } else if (options.controller >= 0 && options.controller < definition.controllers.size()) {
                words = definition.controllers.at(options.controller).trimmed();
            }
            command->arguments += words.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            linePieces += words;
            continue;
        }
        QString filled, unknown;
        if (!fillPlaceholders(word.text, values, &filled, &unknown)) {
            *error = QStringLiteral("The arguments of %1 hold %2, which is no placeholder.").arg(definition.name, unknown);
            return false;
        }
        if (!word.quoted && (word.text == kRom || word.text == kRomDir))
            command->pathArguments.append(command->arguments.size());
        command->arguments.append(filled);
        linePieces += word.quoted && filled.isEmpty() ? QStringLiteral("\"\"") : windowsQuoted(filled);
    }
    command->windowsLine = linePieces.join(QLatin1Char(' '));
    return true;
}

} // namespace launch
