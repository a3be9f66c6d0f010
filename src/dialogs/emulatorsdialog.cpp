#include "dialogs/emulatorsdialog.h"

#include "forms/dirlistbox.h"
#include "launch/emulatorchoice.h"
#include "platform/drives.h"
#include "platform/filenames.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace dialogs {

namespace {
const QString kTitle = QStringLiteral("Emulators");
}

EmulatorsDialog::EmulatorsDialog(launch::EmulatorChoice *choice, Notifier notify, QWidget *parent)
    : forms::FormDialog(parent), m_choice(choice), m_notify(std::move(notify)), m_form(forms::buildEmulatorsForm(this))
{
    connect(m_form.makeDefault, &QPushButton::clicked, this, &EmulatorsDialog::makeDefault);
    connect(m_form.remove, &QPushButton::clicked, this, &EmulatorsDialog::removeOwn);
    connect(m_form.add, &QPushButton::clicked, this, &EmulatorsDialog::addOwn);
    connect(m_form.browse, &QPushButton::clicked, this, &EmulatorsDialog::browseProgram);
    connect(m_form.close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_form.emulators, &QListWidget::currentRowChanged, this, [this] {
        const launch::EmulatorDefinition *chosen = m_choice->definition(selectedId());
        m_form.remove->setEnabled(chosen && chosen->own);
        m_form.makeDefault->setEnabled(chosen && m_choice->found(chosen->id).isFound() && chosen->id != m_choice->defaultId());
    });
    connect(m_choice, &launch::EmulatorChoice::changed, this, &EmulatorsDialog::showEmulators);
    showEmulators();
}

void EmulatorsDialog::showEmulators()
{
    const QString selected = selectedId();
    m_form.emulators->clear();
    m_shownIds.clear();
    const QString defaultId = m_choice->defaultId();
    for (const launch::EmulatorDefinition &definition : m_choice->definitions()) {
        const launch::FoundEmulator found = m_choice->found(definition.id);
        if (!found.isFound() && !definition.own)
            continue;
        QString row = found.isFound() ? QStringLiteral("%1 - %2: %3").arg(definition.name, found.where, platform::displayName(found.program))
                                      : QStringLiteral("%1 - your own: %2 is not found").arg(definition.name, platform::displayName(definition.program));
        if (definition.id == defaultId)
            row += QStringLiteral(" (default)");
        m_form.emulators->addItem(row);
        m_shownIds << definition.id;
    }
    if (m_shownIds.isEmpty()) {
        m_form.emulators->addItem(QStringLiteral("None found. Looked in: %1").arg(m_choice->placesLookedIn().join(QStringLiteral(", "))));
        m_shownIds << QString();
    }
    const qsizetype row = m_shownIds.indexOf(selected);
    m_form.emulators->setCurrentRow(int(row < 0 ? 0 : row));
    emit m_form.emulators->currentRowChanged(m_form.emulators->currentRow()); // the buttons follow, even on the same row
}

QString EmulatorsDialog::selectedId() const { return m_shownIds.value(m_form.emulators->currentRow()); }

void EmulatorsDialog::makeDefault()
{
    if (!selectedId().isEmpty())
        m_choice->setDefault(selectedId());
}

void EmulatorsDialog::removeOwn() { m_choice->removeOwn(selectedId()); }

void EmulatorsDialog::addOwn()
{
    launch::EmulatorDefinition own;
    own.name = m_form.name->text().trimmed();
    own.program = m_form.program->text().trimmed();
    own.arguments = m_form.arguments->text();
    own.readsZip = m_form.readsZip->isChecked();
    own.reads7z = m_form.reads7z->isChecked();
    QString error;
    if (!own.program.isEmpty() && QDir::isAbsolutePath(own.program) && !QFileInfo(own.program).isFile()) {
        error = QStringLiteral("The program %1 does not exist.").arg(platform::displayName(QDir::toNativeSeparators(own.program)));
    } else if (m_choice->addOwn(own, &error)) {
        m_form.name->clear();
        m_form.program->clear();
        m_form.arguments->setText(QStringLiteral("{rom}"));
        m_form.readsZip->setChecked(false);
        m_form.reads7z->setChecked(false);
        m_form.emulators->setCurrentRow(int(m_shownIds.size() - 1));
        return;
    }
    // What was typed stays, to be mended.
    m_notify(this, kTitle, QStringLiteral("%1 cannot be added.\n\n%2").arg(own.name.isEmpty() ? QStringLiteral("The emulator") : own.name, error));
}

void EmulatorsDialog::browseProgram()
{
    const QString current = m_form.program->text().trimmed();
    const QString picked = pickProgram(this, current.isEmpty() ? QString() : QFileInfo(current).absolutePath(), m_notify);
    if (!picked.isEmpty())
        m_form.program->setText(QDir::toNativeSeparators(picked));
}

QString pickProgram(QWidget *parent, const QString &startFolder, const Notifier &notify)
{
    forms::FormDialog picker(parent);
    const forms::ProgramPickerForm form = forms::buildProgramPickerForm(&picker);
    auto listPrograms = [&form](const QString &folder) {
        form.programs->clear();
#ifdef Q_OS_WIN
        const QStringList names = QDir(folder).entryList({QStringLiteral("*.exe"), QStringLiteral("*.bat"), QStringLiteral("*.cmd")},
                                                         QDir::Files, QDir::Name | QDir::IgnoreCase);
#else
        const QStringList names = QDir(folder).entryList(QDir::Files | QDir::Executable, QDir::Name);
#endif
        form.programs->addItems(names);
        if (!names.isEmpty())
            form.programs->setCurrentRow(0);
    };
    QObject::connect(form.folders, &forms::DirListBox::pathChanged, &picker, [&form, listPrograms](const QString &path) {
        form.drives->setDrive(platform::driveOf(path));
        listPrograms(path);
    });
    QObject::connect(form.drives, &forms::DriveListBox::driveChanged, &picker, [&form, &picker, &notify] {
        QString reason;
        if (!form.folders->setPath(platform::driveCurrentFolder(form.drives->drive()), &reason)) {
            notify(&picker, QStringLiteral("Select Program"), QStringLiteral("The drive cannot be read.\n\n%1").arg(reason));
            form.drives->setDrive(platform::driveOf(form.folders->path()));
        }
    });
    QString chosen;
    auto choose = [&] {
        if (form.programs->currentItem()) {
            chosen = QDir(form.folders->path()).filePath(form.programs->currentItem()->text());
            picker.accept();
        }
    };
    QObject::connect(form.ok, &QPushButton::clicked, &picker, choose);
    QObject::connect(form.programs, &QListWidget::itemActivated, &picker, choose);
    QString reason;
    form.folders->openNearest(startFolder.isEmpty() ? QDir::currentPath() : startFolder, &reason);
    listPrograms(form.folders->path());
    picker.centreOnScreen();
    picker.exec();
    return chosen;
}

} // namespace dialogs
