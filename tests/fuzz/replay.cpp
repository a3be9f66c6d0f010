// Runs a fuzz target without libFuzzer, as an ordinary test: each seed of its corpus as it is, then
// ROUNDS inputs made from the seeds by a seeded random mutator (bit flips, cuts, doublings, pieces
// of other seeds, line breaks, brackets, quotes, NULs, long lines). A fault aborts, as under the
// fuzzer, and leaves its input in replay-fault.bin in the current folder.
//   replay CORPUS_FOLDER ROUNDS

#include <QByteArray>
#include <QDir>
#include <QRandomGenerator>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
#ifdef QUORVANE_FUZZ_INITIALIZE
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
#endif

namespace {
const QByteArray *g_input = nullptr; // for the abort handler

void keepInput(int)
{
    if (std::FILE *out = std::fopen("replay-fault.bin", "wb")) {
        std::fwrite(g_input->constData(), 1, size_t(g_input->size()), out);
        std::fclose(out);
    }
    std::fputs("fault: its input is in replay-fault.bin\n", stderr);
}

QByteArray mutated(const QList<QByteArray> &seeds, QRandomGenerator &random)
{
    static const QList<QByteArray> pieces{QByteArray(1, '\0'), "\r\n", "\r", "\n\r", "[", "]", "=", "\"'", " \t", "\xEF\xBB\xBF",
                                          "\xFF\xFE", "\xC3", "\xFF\xD8\xFF\xC2"};
    QByteArray data = seeds.at(random.bounded(int(seeds.size())));
    for (int step = 1 + int(random.bounded(4)); step > 0; --step) {
        const qsizetype at = data.isEmpty() ? 0 : qsizetype(random.bounded(quint32(data.size())));
        const QByteArray &other = seeds.at(random.bounded(int(seeds.size())));
        switch (random.bounded(6)) {
        case 0: if (!data.isEmpty()) data[at] = char(data.at(at) ^ (1 << random.bounded(8))); break;
        case 1: data.truncate(at); break;
        case 2: data += data; break;
        case 3: data.insert(at, other.mid(random.bounded(int(other.size()) + 1))); break;
        case 4: data.insert(at, "\r\nRoms=" + QByteArray(int(random.bounded(20000)), 'L') + "\r\n"); break;
        default: data.insert(at, pieces.at(random.bounded(int(pieces.size())))); break;
        }
        data.truncate(32768);
    }
    return data;
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        return 2;
#ifdef QUORVANE_FUZZ_INITIALIZE
    LLVMFuzzerInitialize(&argc, &argv);
#endif
    QList<QByteArray> seeds;
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    for (const QString &name : corpus.entryList(QDir::Files)) {
        QFile file(corpus.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds.append(file.readAll());
    }
    if (seeds.isEmpty())
        return 2;
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); // decoders' complaints
    std::signal(SIGABRT, keepInput);
    QRandomGenerator random(20261207);
    const long rounds = std::strtol(argv[2], nullptr, 10);
    for (long round = -qsizetype(seeds.size()); round < rounds; ++round) {
        const QByteArray input = round < 0 ? seeds.at(-round - 1) : mutated(seeds, random);
        g_input = &input;
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
    }
    std::printf("%lld seeds and %ld inputs made from them: no fault\n", qlonglong(seeds.size()), rounds);
    return 0;
}
