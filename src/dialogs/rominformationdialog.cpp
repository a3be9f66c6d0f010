#include "dialogs/rominformationdialog.h"

#include "library/database/playhistory.h"
#include "library/checking/romchecker.h"
#include "library/checking/rominformation.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace dialogs {

RomInformationDialog::RomInformationDialog(library::RomChecker *checker, const library::PlayHistory *history,
                                           const QString &path, QWidget *parent, EmulatorOf emulatorOf)
    : forms::FormDialog(parent), m_information(new library::RomInformation(path, this)), m_form(forms::buildRomInfoForm(this))
{
    connect(m_form.ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_form.copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(m_information->text()); });
    connect(m_information, &library::RomInformation::changed, this, &RomInformationDialog::showLines);
    for (QLabel *value : m_form.values)
        value->installEventFilter(this);
    m_form.problems->installEventFilter(this);
    if (emulatorOf)
        m_information->setEmulator(emulatorOf({}));
    showLines();
    checker->inspect(path, [information = QPointer<library::RomInformation>(m_information),
                            history = QPointer<const library::PlayHistory>(history), emulatorOf](const library::RomFacts &facts) {
        if (!information) // the window may have closed first
            return;
        information->setFacts(facts);
        if (facts.identity.error.isEmpty())
            information->setPlay(history ? history->record(facts.identity.data.sha1) : library::PlayRecord());
        if (emulatorOf)
            information->setEmulator(emulatorOf(facts.identity.data.sha1));
    });
}

bool RomInformationDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return forms::FormDialog::eventFilter(watched, event);
}

void RomInformationDialog::showLines()
{
    const QList<library::InfoLine> lines = m_information->lines();
    for (qsizetype row = 0; row < lines.size() && size_t(row) < m_form.values.size(); ++row) {
        QLabel *value = m_form.values[size_t(row)];
        // A path or a title longer than the line shows its middle or end elided; the tooltip and
        // the copy hold all of it.
        const Qt::TextElideMode elide = row == 0 ? Qt::ElideMiddle : Qt::ElideRight;
        value->setText(value->fontMetrics().elidedText(lines[row].value, elide, value->width()));
        value->setToolTip(value->text() == lines[row].value ? QString() : lines[row].value);
        value->setAccessibleDescription(lines[row].value);
    }
    const QStringList problems = m_information->problems();
    m_form.problems->setText(!m_information->isRead() ? QString()
                             : problems.isEmpty()     ? QStringLiteral("No problems found.")
                                                      : QStringLiteral("Problems found:\n") + problems.join(QLatin1Char('\n')));
}

void showRomInformation(library::RomChecker *checker, const library::PlayHistory *history, const QString &path,
                        QWidget *parent, RomInformationDialog::EmulatorOf emulatorOf)
{
    RomInformationDialog dialog(checker, history, path, parent, std::move(emulatorOf));
    dialog.centreOnScreen();
    dialog.exec();
}

} // namespace dialogs
