// The configuration file under faults: a save killed at any moment, and hostile file contents.

#include "config/profilefile.h"
#include "config/romfolders.h"
#include "testutil.h"

#include <QBuffer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

using namespace testutil;

namespace {

const QStringList kSetA{QStringLiteral("/a/"), QStringLiteral("/aa/"), QStringLiteral("/aaa/")};
const QStringList kSetB{QStringLiteral("/") + QString(200, QLatin1Char('b')) + QStringLiteral("/"),
                        QStringLiteral("/b b/"), QString(300, QLatin1Char('c'))};

// The profile rules written again, as plainly as possible, to check the reader against.
std::optional<QString> referenceValue(QByteArray data, const QString &section, const QString &key)
{
    auto trim = [](QByteArray text) {
        while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove(0, 1);
        while (!text.isEmpty() && (text.back() == ' ' || text.back() == '\t'))
            text.chop(1);
        return text;
    };
    auto same = [](const QByteArray &name, const QString &wanted) {
        return QString::fromLocal8Bit(name).compare(wanted, Qt::CaseInsensitive) == 0;
    };
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    bool inSection = false;
    bool sectionSeen = false;
    for (const QByteArray &raw : data.replace('\r', '\n').split('\n')) {
        const QByteArray line = trim(raw);
        const qsizetype close = line.lastIndexOf(']');
        if (line.startsWith('[') && close > 0) { // "[" without "]" is an ordinary line
            if (inSection)
                return std::nullopt; // only the first matching section counts
            inSection = !sectionSeen && same(trim(line.mid(1, close - 1)), section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inSection || line.isEmpty() || !same(trim(eq < 0 ? line : line.left(eq)), key))
            continue;
        if (eq < 0)
            return std::nullopt; // the key's first line has no value
        QByteArray value = trim(line.mid(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.front() == value.back())
            value = value.mid(1, value.size() - 2);
        if (const qsizetype nul = value.indexOf('\0'); nul >= 0)
            value.truncate(nul);
        return QString::fromLocal8Bit(value);
    }
    return std::nullopt;
}

QByteArray mutate(QByteArray data, QRandomGenerator &random)
{
    static const QList<QByteArray> pieces{"\0", "\r\n", "\r", "\n\r", "[", "]", "=", "\"'", " \t", "\xEF\xBB\xBF",
                                          "\r\n[quorvane V1.0B config file]\r\n", "\r\nroms2\r\n"};
    for (int step = 1 + int(random.bounded(4)); step > 0; --step) {
        const qsizetype at = data.isEmpty() ? 0 : qsizetype(random.bounded(quint32(data.size())));
        switch (random.bounded(5)) {
        case 0: // bit flip
            if (!data.isEmpty())
                data[at] = char(data.at(at) ^ (1 << random.bounded(8)));
            break;
        case 1: data.truncate(at); break;
        case 2: data += data; break; // every section and key again
        case 3: data.insert(at, "\r\nRoms=" + QByteArray(int(random.bounded(20000)), 'L') + "\r\n"); break;
        default: data.insert(at, pieces.at(random.bounded(int(pieces.size())))); break;
        }
        data.truncate(200000);
    }
    return data;
}

} // namespace

class TestRobustness : public QObject
{
    Q_OBJECT
private slots:
    void killedSavesNeverTearTheFile();
    void readerMatchesAReferenceOnMutatedFiles();
};

void TestRobustness::killedSavesNeverTearTheFile()
{
#ifdef Q_OS_WIN
    QSKIP("SIGKILL is a POSIX signal");
#endif
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("quorvane.ini"));
    writeFile(file, "[Unrelated]\r\nx=1\r\n");
    QVERIFY(config::WriteRomFolders(file, kSetA));

    QRandomGenerator random(2026);
    int survived = 0;
    int seen[2] = {0, 0};
    for (int round = 0; round < 220; ++round) {
        QProcess saver;
        saver.start(QStringLiteral(SAVE_LOOP), {file});
        QVERIFY2(saver.waitForStarted(), qPrintable(saver.errorString()));
        QVERIFY(saver.waitForReadyRead(30000)); // it has started saving
        QThread::usleep(random.bounded(8000));
        saver.kill(); // SIGKILL, wherever the save stands
        QVERIFY(saver.waitForFinished());
        QCOMPARE(saver.exitStatus(), QProcess::CrashExit);

        const QStringList folders = config::ReadRomFolders(file);
        QVERIFY2(folders == kSetA || folders == kSetB, qPrintable(folders.join(QLatin1Char('|'))));
        ++seen[folders == kSetA ? 0 : 1];
        QCOMPARE(profile::GetPrivateProfileString(QStringLiteral("Unrelated"), QStringLiteral("x"), QString(), file),
                 QStringLiteral("1"));
        ++survived;
    }
    qInfo("survived %d kills: the file held the first set %d times, the second %d times", survived, seen[0], seen[1]);
    QVERIFY(seen[0] > 0 && seen[1] > 0); // the kills did land in the middle of the saving
}

void TestRobustness::readerMatchesAReferenceOnMutatedFiles()
{
    const QList<QByteArray> seeds{
        "[Quorvane v1.0b Config File]\r\nRoms=C:\\GAMES\\NES\\\r\nRoms2=D:\\ROMS\\\r\nRoms3=E:\\\\\r\n",
        "; comment\n[Other]\nRoms=/no/\n[quorvane v1.0b config file]\n  roms = \"/q q/\" \nROMS2='x'\n",
        "\xEF\xBB\xBF[Quorvane v1.0b Config File]\rRoms=/home/j\xC3\xB6rg/\rRoms3=\r[Next]\rRoms2=/n/",
        "[Quorvane v1.0b Config File] tail\r\nRoms\r\nRoms2 = = /eq/\r\n[Quorvane v1.0b Config File]\r\nRoms=/dup/\r\n",
    };
    const QStringList keys{QStringLiteral("Roms"), QStringLiteral("Roms2"), QStringLiteral("Roms3")};
    QRandomGenerator random(20261206);
    int tried = 0;
    for (int i = 0; i < 100000; ++i) {
        const QByteArray input = mutate(seeds.at(i % seeds.size()), random);
        for (const QString &key : keys) {
            const auto expected = referenceValue(input, config::kConfigSection, key);
            const auto actual = profile::profileValue(input, config::kConfigSection, key);
            if (actual != expected) {
                QFAIL(qPrintable(QStringLiteral("input %1, key %2: read \"%3\", reference \"%4\"\n%5")
                                     .arg(i).arg(key, actual.value_or(QStringLiteral("<missing>")),
                                          expected.value_or(QStringLiteral("<missing>")),
                                          QString::fromLatin1(input.left(400).toPercentEncoding(" /=[];'\"")))
                                     .left(2000)));
            }
        }
        if (i % 16 == 0) { // the piecewise reader, through pieces of random size
            QByteArray copy = input;
            QBuffer device(&copy);
            device.open(QIODevice::ReadOnly);
            const qsizetype piece = 1 + qsizetype(random.bounded(300));
            QCOMPARE(profile::profileValue(device, config::kConfigSection, keys.at(i % 3), piece),
                     referenceValue(input, config::kConfigSection, keys.at(i % 3)));
        }
        ++tried;
    }
    qInfo("%d mutated inputs read like the reference", tried);
}

QTEST_GUILESS_MAIN(TestRobustness)
#include "tst_robustness.moc"
