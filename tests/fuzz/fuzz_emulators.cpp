// Emulator definitions on any bytes: every definition read has a usable template, a ROM's path
// put into it stands whole in the arguments wherever the template names it alone, and the user's
// own definitions read back as they were written.

#include "launch/emulatordefinitions.h"
#include "platform/filenames.h"

#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool fact)
{
    if (!fact)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte says whose file it is and how long the ROM's path is; the path follows.
    if (size < 1)
        return 0;
    const bool own = data[0] & 1;
    const size_t pathLength = std::min<size_t>(data[0] >> 1, size - 1);
    const QString rom = platform::fromUtf8Lossless(QByteArrayView(data + 1, qsizetype(pathLength)));
    const QByteArray contents(reinterpret_cast<const char *>(data + 1 + pathLength), qsizetype(size - 1 - pathLength));

    const launch::DefinitionsRead read = launch::parseDefinitions(contents, QStringLiteral("fuzz.ini"), own);
    check(read.definitions.size() <= launch::kMaxDefinitions);
    for (const launch::EmulatorDefinition &definition : read.definitions) {
        check(launch::templateProblem(definition.arguments).isEmpty());
        for (const int sound : {0, 2}) {
            launch::ExpandedCommand command;
            QString error;
            check(launch::expandCommand(definition, QStringLiteral("emu"), rom, QStringLiteral("/core.so"),
                                        {sound, Qt::CheckState(sound), sound - 1}, &command, &error));
            for (const qsizetype at : command.pathArguments)
                check(at < command.arguments.size());
            // A template without quotes whose word is {rom} alone hands the path over as it is.
            const QStringList words = definition.arguments.split(QRegularExpression(QStringLiteral("[ \t]+")), Qt::SkipEmptyParts);
            if (!definition.arguments.contains(QLatin1Char('"')) && words.contains(QStringLiteral("{rom}")))
                check(command.arguments.contains(rom) && !command.pathArguments.isEmpty());
        }
    }
    if (own) {
        const launch::DefinitionsRead again =
            launch::parseDefinitions(launch::userDefinitionsText(read.definitions, read.defaultId), QStringLiteral("again.ini"), true);
        check(again.problems.isEmpty() && again.definitions.size() == read.definitions.size() && again.defaultId == read.defaultId);
        for (qsizetype i = 0; i < read.definitions.size(); ++i) {
            const launch::EmulatorDefinition &was = read.definitions[i], &is = again.definitions[i];
            check(was.id == is.id && was.name == is.name && was.program == is.program && was.arguments == is.arguments
                  && was.readsZip == is.readsZip && was.reads7z == is.reads7z);
        }
    }
    return 0;
}
