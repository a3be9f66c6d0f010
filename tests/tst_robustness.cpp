// The configuration file reader against hostile file contents.

#include "config/profilefile.h"
#include "config/romfolders.h"
#include "testutil.h"

#include <QBuffer>
#include <QRandomGenerator>

using namespace testutil;

namespace {

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
    const bool utf8 = data.startsWith("\xEF\xBB\xBF"); // else the system's code page
    if (utf8)
        data.remove(0, 3);
    auto text = [utf8](const QByteArray &bytes) { return utf8 ? QString::fromUtf8(bytes) : QString::fromLocal8Bit(bytes); };
    auto same = [&](const QByteArray &name, const QString &wanted) {
        return text(name).compare(wanted, Qt::CaseInsensitive) == 0;
    };
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
        return text(value);
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
    void readerMatchesAReferenceOnMutatedFiles();
};

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
