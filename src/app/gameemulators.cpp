#include "app/gameemulators.h"

#include "forms/controls.h"

namespace app {

QString GameEmulators::chosenFor(const QByteArray &game) const
{
    if (game.isEmpty() || !m_history || !m_choice)
        return QString();
    const QString id = m_history->record(game).emulator;
    return m_choice->definition(id) ? id : QString();
}

launch::EmulatorRun GameEmulators::runFor(const QByteArray &game) const
{
    return m_choice ? m_choice->run(chosenFor(game)) : launch::EmulatorRun();
}

QString GameEmulators::describe(const QByteArray &game) const
{
    const QString chosen = chosenFor(game);
    const launch::EmulatorRun run = runFor(game);
    if (!run.isSet())
        return QStringLiteral("none found");
    QString text = QStringLiteral("%1 (%2)").arg(run.definition.name, chosen.isEmpty() ? QStringLiteral("the default")
                                                                                       : QStringLiteral("chosen for this game"));
    if (!run.found.isFound())
        text += QStringLiteral(", not found");
    return text;
}

QString GameEmulators::noneFoundMessage() const
{
    QStringList known;
    for (const launch::EmulatorDefinition &definition : m_choice->definitions())
        known << definition.name;
    return QStringLiteral("No emulator was found, so the game cannot be started.\n\nQuorvane looked for %1 in these places:\n%2\n\n"
                          "Install one of them, or add your own in Options > Emulators.")
        .arg(known.join(QStringLiteral(", ")), m_choice->placesLookedIn().join(QLatin1Char('\n')));
}

void showEmulatorSwitches(const launch::EmulatorDefinition *emulator, const forms::MainWindowForm &form)
{
    auto show = [emulator](QWidget *control, bool has, const char *what) {
        const QString why = emulator && !has ? QStringLiteral("%1 has no switch for the %2: the choice is not given to it.")
                                                   .arg(emulator->name, QLatin1String(what))
                                             : QString();
        control->setEnabled(why.isEmpty());
        control->setToolTip(why);
        control->setAccessibleDescription(why);
    };
    show(form.resolution, !emulator || emulator->hasResolutionSwitch(), "resolution");
    show(form.sound, !emulator || emulator->hasSoundSwitch(), "sound");
    show(form.controller, !emulator || emulator->hasControllerSwitch(), "controller");
}

} // namespace app
