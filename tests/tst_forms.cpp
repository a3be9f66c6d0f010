#include "forms/controls.h"
#include "forms/formbuilder.h"
#include "forms/formdefs.h"
#include "forms/twips.h"
#include "testutil.h"

#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>

using namespace testutil;

namespace {

// The window built from a definition: the real main window, or the dialog base of every dialog.
std::unique_ptr<QWidget> buildWindow(const forms::FormDef &def, Recorder &recorder, const QTemporaryDir &dir)
{
    if (QLatin1String(def.name) == QLatin1String("Form1"))
        return std::make_unique<app::MainWindow>(recorder.context(dir.path(), dir.filePath(QStringLiteral("quorvane.ini"))));
    return std::make_unique<forms::FormDialog>(def, nullptr);
}

// Why text does not fit in the control; empty when it fits.
QString misfit(QWidget *widget, const forms::ControlDef &control, const QString &text)
{
    const QFontMetrics metrics(widget->font());
    const QRect box = control.pixelRect();
    int needed = metrics.horizontalAdvance(text);
    if (control.flags & forms::WordWrap)
        needed = metrics.boundingRect(QRect(0, 0, box.width(), 10000), Qt::TextWordWrap, text).height() > box.height()
            ? box.width() + 1 : 0;
    else if (control.kind == forms::Kind::CommandButton)
        needed += 4;
    else if (control.kind == forms::Kind::ListBox)
        needed += 8; // frame and item margins
    else if (control.kind == forms::Kind::CheckBox)
        needed += widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget)
            + widget->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, widget);
    if (needed > box.width() || metrics.height() > box.height())
        return QStringLiteral("needs %1 x %2 px, has %3 x %4").arg(needed).arg(metrics.height()).arg(box.width()).arg(box.height());
    return QString();
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void twips();
    void everyWindow_data();
    void everyWindow();
    void mainWindowFrameMenusAndFirstState();
    void dialogFrames();
};

void TestForms::twips()
{
    QCOMPARE(forms::twipsToPixels(9000), 600);
    QCOMPARE(forms::twipsToPixels(5550), 370);
    QCOMPARE(forms::twipsToPixels(7), 0);
    QCOMPARE(forms::twipsToPixels(8), 1);
    QCOMPARE(forms::bannerImage().size(), QSize(300, 80));
    QVERIFY(forms::applicationIcon().availableSizes().contains(QSize(16, 16)));
    QVERIFY(forms::applicationIcon().availableSizes().contains(QSize(32, 32)));
}

void TestForms::everyWindow_data()
{
    QTest::addColumn<int>("index");
    const auto defs = forms::allFormDefs();
    for (size_t i = 0; i < defs.size(); ++i)
        QTest::newRow(defs[i]->name) << int(i);
}

// Walks each window's definition: every control where and as it says, its texts fully visible,
// and the tab order following the tab indexes.
void TestForms::everyWindow()
{
    QFETCH(int, index);
    const forms::FormDef &def = *forms::allFormDefs().at(size_t(index));
    Recorder recorder;
    QTemporaryDir dir;
    const auto window = buildWindow(def, recorder, dir);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->windowTitle(), QString::fromLatin1(def.caption));
    const QWidget *surface = window->findChild<QWidget *>(QStringLiteral("surface"));
    QCOMPARE(surface->size(), def.pixelSize());

    std::vector<std::pair<int, QWidget *>> tabStops;
    for (const forms::ControlDef &control : def.controls) {
        QWidget *widget = window->findChild<QWidget *>(QLatin1String(control.name));
        QVERIFY2(widget, control.name);
        const QWidget *container = control.container == forms::kOnWindow
            ? surface : window->findChild<QWidget *>(QStringLiteral("SSTab1"));
        QVERIFY2(QRect(widget->mapTo(container, QPoint()), widget->size()) == control.pixelRect(), control.name);
        QCOMPARE(widget->font().pixelSize(), qRound((control.fontPoints > 0 ? control.fontPoints : 8.25) * 4 / 3));
        if (control.foreground >= 0)
            QCOMPARE(widget->palette().color(widget->foregroundRole()), QColor::fromRgb(QRgb(control.foreground)));
        if (control.background >= 0)
            QCOMPARE(widget->palette().color(widget->backgroundRole()), QColor::fromRgb(QRgb(control.background)));

        QStringList texts;
        if (auto *list = qobject_cast<QListWidget *>(widget)) {
            for (int i = 0; i < list->count(); ++i)
                texts.append(list->item(i)->text());
            QCOMPARE(texts, control.items());
        } else if (auto *label = qobject_cast<QLabel *>(widget); label && control.caption) {
            QCOMPARE(label->text(), QString::fromLatin1(control.caption));
            texts.append(label->text());
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            QCOMPARE(button->text(), QString::fromLatin1(control.caption));
            texts.append(button->text().remove(QLatin1Char('&')));
        } else if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                QCOMPARE(tabs->tabText(i), control.items().at(i));
                QVERIFY(tabs->tabBar()->tabRect(i).width() >= tabs->fontMetrics().horizontalAdvance(tabs->tabText(i)) + 8);
            }
        }
        // Texts the program itself puts into fixed controls.
        if (QLatin1String(control.name) == QLatin1String("Check1"))
            texts.append(QStringLiteral("No Sound"));
        if (control.container >= 0 && control.kind == forms::Kind::Label)
            texts.append(QStringLiteral("ROMs : 1000000"));
        for (const QString &text : texts) {
            const QString why = misfit(widget, control, text);
            QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("%1 \"%2\": %3").arg(control.name, text, why)));
        }

        const bool focusable = control.kind != forms::Kind::Label && control.kind != forms::Kind::PictureBox
            && control.kind != forms::Kind::Image;
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, focusable);
        if (focusable)
            tabStops.emplace_back(control.tabIndex, widget->focusProxy() ? widget->focusProxy() : widget);
    }

    std::sort(tabStops.begin(), tabStops.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QWidget *w = tabStops.front().second;
    for (size_t i = 1; i < tabStops.size(); ++i) {
        do
            w = w->nextInFocusChain();
        while (std::none_of(tabStops.begin(), tabStops.end(), [w](const auto &stop) { return stop.second == w; }));
        QVERIFY2(w == tabStops[i].second, qPrintable(QStringLiteral("tab stop %1").arg(tabStops[i].first)));
    }
}

void TestForms::mainWindowFrameMenusAndFirstState()
{
    Recorder recorder;
    QTemporaryDir dir;
    app::MainWindow window(recorder.context(dir.path(), dir.filePath(QStringLiteral("quorvane.ini"))));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.centralWidget()->geometry(), QRect(0, window.menuBar()->height(), 600, 370));
    QCOMPARE(window.minimumSize(), window.maximumSize()); // not resizable
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(window.centralWidget()->palette().color(QPalette::Window), QColor(Qt::black));

    QStringList tree;
    for (QAction *top : window.menuBar()->actions()) {
        tree.append(top->objectName() + QLatin1Char(':') + top->text());
        for (QAction *item : top->menu()->actions()) {
            tree.append(item->objectName() + QLatin1Char(':') + item->text());
            QVERIFY(item->shortcut().isEmpty() && !item->isSeparator() && !item->isCheckable());
        }
    }
    QCOMPARE(tree, (QStringList{"filemnu:&File", "filemnuexit:&Exit", "mnuoptions:&Options", "mnuoptionsdir:&Directories",
                                "mnuhelp:&Help", "mnuhelpreadme:&Readme", "mnuhelpabout:&About"}));

    // Before start-up: nothing selected, the box clear, count labels empty, preview blank.
    QCOMPARE(window.check1()->value(), 0);
    QCOMPARE(window.check1()->text(), QStringLiteral("Sound"));
    QCOMPARE(window.list1()->currentRow(), -1);
    QCOMPARE(window.list2()->currentRow(), -1);
    QCOMPARE(window.countLabel(1)->text(), QString());
    QVERIFY(window.picture2()->picture().isNull());
}

void TestForms::dialogFrames()
{
    for (const char *name : {"Directories", "Form3", "Directories2", "Form2"}) {
        const forms::FormDef &def = QLatin1String(name) == QLatin1String("Directories") ? forms::romFoldersDialogDef()
            : QLatin1String(name) == QLatin1String("Form2") ? forms::aboutBoxDef() : forms::pickerDef(name);
        forms::FormDialog dialog(def, nullptr);
        const bool sizable = def.border == forms::Border::Sizable;
        QCOMPARE(dialog.minimumSize() == dialog.maximumSize(), !sizable);
        QCOMPARE(bool(dialog.windowFlags() & Qt::WindowMaximizeButtonHint), sizable);
        QCOMPARE(dialog.size(), def.pixelSize());
        // No default or cancel button: Enter and Escape close nothing.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY2(dialog.isVisible(), name);
    }
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
