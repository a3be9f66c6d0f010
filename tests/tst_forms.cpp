#include "forms/dirlistbox.h"
#include "forms/filelistbox.h"
#include "forms/formbuilder.h"
#include "forms/formdefs.h"
#include "testutil.h"

#include <QAccessible>
#include <QPushButton>
#include <QStringListModel>
#include <QStyle>

using namespace testutil;

namespace {

// Why text does not fit in the control; empty when it fits.
QString misfit(QWidget *widget, const forms::ControlDef &control, const QRect &box, const QString &text)
{
    const QFontMetrics metrics(widget->font());
    int needed = metrics.horizontalAdvance(text);
    const QStyle *style = widget->style();
    if (control.flags & forms::WordWrap)
        needed = metrics.boundingRect(box, Qt::TextWordWrap, text).height() > box.height() ? box.width() + 1 : 0;
    else if (control.kind != forms::Kind::Label) // button margins; list frame and item margins; check box
        needed += control.kind == forms::Kind::CommandButton ? 4
            : control.kind == forms::Kind::ListBox           ? 8
            : style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget)
                + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, widget);
    if (needed > box.width() || metrics.height() > box.height())
        return u"needs %1 x %2 px, has %3 x %4"_s.arg(needed).arg(metrics.height()).arg(box.width()).arg(box.height());
    return QString();
}

// The texts a control shows: its fixed captions and items, and what the program puts into it.
QStringList textsOf(const forms::ControlDef &control)
{
    QStringList texts = control.kind == forms::Kind::ListBox ? control.items() : QStringList();
    if (control.kind == forms::Kind::Label || control.kind == forms::Kind::CommandButton || control.kind == forms::Kind::CheckBox)
        texts.append(QString::fromLatin1(control.caption).remove(u'&'));
    if (QLatin1String(control.name) == "Check1"_L1)
        texts.append(u"No Sound"_s);
    if (control.container >= 0 && control.kind == forms::Kind::Label)
        texts.append(u"ROMs : 1000000"_s);
    texts.removeAll(QString());
    return texts;
}

// The window the table named name describes, built as the program builds it.
std::unique_ptr<QWidget> buildWindow(const QString &name, Recorder &recorder, const QTemporaryDir &dir)
{
    if (name == "Form1"_L1)
        return std::make_unique<app::MainWindow>(recorder.context(dir.path(), dir.filePath(u"quorvane.ini"_s)));
    auto dialog = std::make_unique<forms::FormDialog>(nullptr);
    if (name == "Directories"_L1)
        forms::buildRomFoldersForm(dialog.get());
    else if (name == "Form2"_L1)
        forms::buildAboutForm(dialog.get());
    else if (name == "romInfo"_L1)
        forms::buildRomInfoForm(dialog.get());
    else if (name == "emulators"_L1)
        forms::buildEmulatorsForm(dialog.get());
    else if (name == "programPicker"_L1)
        forms::buildProgramPickerForm(dialog.get());
    for (int slot = 0; slot < 3; ++slot) {
        if (name == QLatin1String(forms::kSlotControls.at(size_t(slot)).picker))
            forms::buildPickerForm(dialog.get(), slot);
    }
    return dialog;
}

// What each control of a window shows, as "name: text", in the order of its table.
QStringList shownTexts(const QWidget *window, const forms::FormDef &def)
{
    QStringList texts;
    for (const forms::ControlDef &control : def.controls) {
        const QWidget *widget = window->findChild<QWidget *>(QLatin1String(control.name));
        QStringList shown;
        if (const auto *label = qobject_cast<const QLabel *>(widget))
            shown << label->text();
        else if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
            shown << button->text();
        else if (const auto *list = qobject_cast<const QListWidget *>(widget); list && !qobject_cast<const forms::DirListBox *>(list))
            for (int row = 0; row < list->count(); ++row)
                shown << list->item(row)->text();
        else if (const auto *tabs = qobject_cast<const QTabWidget *>(widget))
            for (int tab = 0; tab < tabs->count(); ++tab)
                shown << tabs->tabText(tab);
        shown.removeAll(QString());
        if (!shown.isEmpty())
            texts << QLatin1String(control.name) + u": "_s + shown.join(u'|');
    }
    return texts;
}

// The control that has the focus, by its table name: the tab control for its strip.
QString focusedName()
{
    const QWidget *focus = QApplication::focusWidget();
    if (!focus)
        return u"(none)"_s;
    if (focus->objectName().isEmpty() && focus->parentWidget() && focus->parentWidget()->focusProxy() == focus)
        focus = focus->parentWidget();
    return focus->objectName().isEmpty() ? u"(%1)"_s.arg(focus->metaObject()->className()) : focus->objectName();
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    // Written out here, not read from the tables the windows are built from: a changed caption or
    // tab order must fail.
    void everyWindow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("tabCycle"); // from the first tab stop round to it again
        QTest::newRow("Form1") << "Form1" << "Quorvane v1.0b"
                               << QStringList{"Check1: Sound", "List1: 256x224|256x240|256x256|320x200|320x240|640x480",
                                              "Label1: Resolution", "List2: Keyboard|Gamepad|Joystick", "Label4: Controller",
                                              "Label2: Double Click ROM To Run. Press ALT + Q To Quit Game.",
                                              "SSTab1: Dir1|Dir2|Dir3"}
                               << QStringList{"Check1", "List1", "List2", "SSTab1", "File1", "Check1"};
        QTest::newRow("Directories") << "Directories" << "Directories"
                                     << QStringList{"Label1: Roms Folder 1", "Command1: ...", "Command2: Save", "Label2: Roms Folder 2",
                                                    "Command3: ...", "Label3: Roms Folder 3", "Command4: ...",
                                                    "subfolders1: Include &subfolders", "subfolders2: Include &subfolders",
                                                    "subfolders3: Include &subfolders"}
                                     << QStringList{"Text1", "Command1", "Command2", "Text2", "Command3", "Text3", "Command4",
                                                    "subfolders1", "subfolders2", "subfolders3", "Text1"};
        for (const char *picker : {"Form3", "Form4"}) {
            QTest::newRow(picker) << picker << "Select Directory" << QStringList{"Command1: &OK"}
                                  << QStringList{"Drive1", "Dir1", "Command1", "Drive1"};
        }
        QTest::newRow("Directories2") << "Directories2" << "Select Directory" << QStringList{"Command1: &OK"}
                                      << QStringList{"Drive1", "Command1", "Dir1", "Drive1"};
        QTest::newRow("Form2") << "Form2" << "About"
                               << QStringList{"Label3: Quorvane", "Label4: v1.0b",
                                              "Label1: This is a Frontend For The NES EMulator Nesticle. I Made it for fun since i "
                                              "never found any Frontend for Nesticle. This Program is freeware and you can give it to "
                                              "anyone you want. If you need any help using it please read the help file. Hope you "
                                              "like it and have fun using it.",
                                              "Label2: Written in C++ with the Qt toolkit by the Quorvane project.", "Command1: &OK",
                                              "Label6: Help: see readme.txt (Help > Readme)", "Label5: Freeware, without any warranty."}
                               << QStringList{"Command1", "Command1"};
        const QStringList lines{"File", "Size", "Format", "Mapper", "Submapper", "PRG ROM", "CHR ROM", "PRG RAM", "Mirroring",
                                "Battery", "Trainer", "Console", "Timing", "CRC32", "SHA-1", "File CRC32", "File SHA-1", "Database",
                                "Favourite", "Played", "Last played", "Emulator"};
        const QStringList valueNames{"fileValue", "sizeValue", "formatValue", "mapperValue", "submapperValue", "prgRomValue",
                                     "chrRomValue", "prgRamValue", "mirroringValue", "batteryValue", "trainerValue",
                                     "consoleValue", "timingValue", "crc32Value", "sha1Value", "fileCrc32Value", "fileSha1Value",
                                     "databaseValue", "favouriteValue", "playedValue", "lastPlayedValue", "emulatorValue"};
        QStringList captions;
        for (qsizetype i = 0; i < lines.size(); ++i)
            captions << valueNames[i].chopped(5) + u"Caption: "_s + lines[i] + u':';
        QTest::newRow("romInfo") << "romInfo" << "ROM Information" << captions + QStringList{"copyButton: &Copy", "okButton: &OK"}
                                 << valueNames + QStringList{"problemsValue", "copyButton", "okButton", "fileValue"};
        QTest::newRow("emulators") << "emulators" << "Emulators"
                                   << QStringList{"emulatorsCaption: &Emulators found, and your own:", "defaultButton: Use as &Default",
                                                  "removeButton: &Remove", "ownCaption: Add your own emulator:", "nameCaption: &Name:",
                                                  "programCaption: &Program:", "browseProgram: ...", "argumentsCaption: &Arguments:",
                                                  "placeholdersLabel: {rom}: the ROM's path, {rom.dir}: its folder, {rom.name}: its name",
                                                  "readsZip: Opens &zip archives", "reads7z: Opens 7&z archives", "addButton: Add &Own",
                                                  "closeButton: &Close"}
                                   << QStringList{"emulatorList", "defaultButton", "removeButton", "nameField", "programField",
                                                  "browseProgram", "argumentsField", "readsZip", "reads7z", "addButton", "closeButton",
                                                  "emulatorList"};
        QTest::newRow("programPicker") << "programPicker" << "Select Program" << QStringList{"Command1: &OK"}
                                       << QStringList{"Drive1", "Dir1", "programList", "Command1", "Drive1"};
    }

    // Each window as built: its title and texts, every control inside it, every text fitting, every
    // reachable control named for screen readers, the Tab cycle by key presses; and the dialogs' keys.
    void everyWindow()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, tabCycle);
        const auto defs = forms::allFormDefs();
        const auto found = std::find_if(defs.begin(), defs.end(), [&](const forms::FormDef *d) { return name == QLatin1String(d->name); });
        QVERIFY(found != defs.end());
        const forms::FormDef &def = **found;
        Recorder recorder;
        QTemporaryDir dir;
        const std::unique_ptr<QWidget> window = buildWindow(name, recorder, dir);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->objectName(), name);
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(shownTexts(window.get(), def), texts);
        const QWidget *surface = window->findChild<QWidget *>(u"surface"_s);
        QCOMPARE(surface->size(), def.pixelSize());
        QCOMPARE(window->minimumSize() == window->maximumSize(), def.border != forms::Border::Sizable);

        for (const forms::ControlDef &control : def.controls) {
            QWidget *widget = window->findChild<QWidget *>(QLatin1String(control.name));
            QVERIFY2(widget, control.name);
            // What the window shows of the control (some stand partly past the window's edge).
            const QRect shown = QRect(widget->mapTo(surface, QPoint()), widget->size()) & QRect(QPoint(), def.pixelSize());
            QVERIFY2(shown.isValid(), control.name);
            // The form's own font on every control, wherever the platform has fonts for some kinds.
            QCOMPARE(QFontInfo(widget->font()).family(), u"Liberation Sans"_s);
            for (const QString &text : textsOf(control)) {
                const QString why = misfit(widget, control, shown, text);
                QVERIFY2(why.isEmpty(), qPrintable(u"%1 \"%2\": %3"_s.arg(control.name, text, why)));
            }
            QWidget *target = widget->focusProxy() ? widget->focusProxy() : widget; // the tab control's strip
            if (target->focusPolicy() != Qt::NoFocus) { // a screen reader says what it is
                QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(target);
                QVERIFY2(accessible && !accessible->text(QAccessible::Name).remove(u'&').trimmed().isEmpty(),
                         control.name);
            }
        }
        // The Tab cycle, by key presses, and Shift+Tab the same backwards.
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            if (key == Qt::Key_Backtab)
                std::reverse(tabCycle.begin(), tabCycle.end());
            QWidget *first = window->findChild<QWidget *>(tabCycle.front());
            (first->focusProxy() ? first->focusProxy() : first)->setFocus(Qt::TabFocusReason);
            QStringList seen;
            for (qsizetype i = 0; i < tabCycle.size(); ++i, QTest::keyClick(QApplication::focusWidget(), key))
                seen << focusedName();
            QCOMPARE(seen, tabCycle);
        }
        if (name == "Form1"_L1)
            return;
        // No cancel button: Escape closes nothing. Enter presses only the focused button.
        int clicks = 0;
        for (QPushButton *button : window->findChildren<QPushButton *>())
            connect(button, &QPushButton::clicked, window.get(), [&clicks] { ++clicks; });
        for (QWidget *focus : window->findChildren<QWidget *>()) {
            if (focus->focusPolicy() == Qt::NoFocus || focus->focusProxy())
                continue;
            focus->setFocus();
            const int before = clicks;
            QTest::keyClick(focus, Qt::Key_Escape);
            QTest::keyClick(focus, Qt::Key_Return);
            QVERIFY2(window->isVisible(), qPrintable(name));
            QCOMPARE(clicks - before, qobject_cast<QPushButton *>(focus) ? 1 : 0);
        }
    }

    // Whatever fonts the system has (this program also runs with only DejaVu visible to fontconfig):
    // the forms draw with their own Liberation Sans, every glyph inked, and the readme viewer with
    // Liberation Mono, which is fixed-pitch.
    void theFormsCarryTheirOwnFonts()
    {
        const QFontInfo sans(forms::formFont(forms::kDefaultFont));
        const QFontInfo mono(forms::fixedFont(9.75));
        QCOMPARE(sans.family(), u"Liberation Sans"_s);
        QCOMPARE(mono.family(), u"Liberation Mono"_s);
        QVERIFY(mono.fixedPitch());
        // Each capital I and "!" leaves ink where a window draws it (Qt's plain glyphs left them out
        // under Wine, which smooths no text).
        const QString text = u"I I I I ! ! ! !"_s;
        QLabel label(text);
        label.setFont(forms::formFont(forms::kDefaultFont));
        label.setStyleSheet(u"QLabel { background: white; color: black; }"_s);
        label.adjustSize();
        const QImage image = label.grab().toImage();
        int glyphs = 0; // runs of inked columns
        for (int x = 0, previous = 0; x < image.width(); ++x) {
            int dark = 0;
            for (int y = 0; y < image.height(); ++y)
                dark += qGray(image.pixel(x, y)) < 128;
            glyphs += dark > 0 && previous == 0;
            previous = dark;
        }
        QCOMPARE(glyphs, 8);
    }

    // An entry centred while its list is not shown (another tab's) is in the middle of the list
    // once it is shown; one centred while shown, at once.
    void aListCentresAnEntryWhenShown()
    {
        QStringList names;
        for (int i = 0; i < 5000; ++i)
            names << u"Game %1.nes"_s.arg(i, 4, 10, QLatin1Char('0'));
        QStringListModel model(names);
        QWidget window;
        forms::FileListBox list(u"*.nes"_s, &window);
        list.setModel(&model);
        list.resize(200, 150);
        list.setCurrentIndex(model.index(2500));
        list.centreOn(model.index(2500));
        auto centred = [&](int row) {
            const QRect entry = list.visualRect(model.index(row));
            return list.viewport()->rect().contains(entry.center())
                   && std::abs(entry.center().y() - list.viewport()->rect().center().y()) <= entry.height();
        };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(centred(2500));
        list.centreOn(model.index(4000));
        QVERIFY(centred(4000));
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
