#include "app/form1.h"
#include "forms/controls.h"
#include "forms/formbuilder.h"
#include "forms/formdefs.h"
#include "forms/twips.h"
#include "testutil.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QTest>

using namespace testutil;

namespace {

// The window built from def: the real main window, or the dialog base that every dialog uses.
std::unique_ptr<QWidget> buildWindow(const forms::FormDef &def, Recorder &recorder, const QTemporaryDir &dir)
{
    if (QLatin1String(def.name) == QLatin1String("Form1")) {
        auto window = std::make_unique<app::Form1>(
            recorder.context(dir.path(), dir.filePath(QStringLiteral("quorvane.ini"))));
        return window;
    }
    return std::make_unique<forms::FormDialog>(def, nullptr);
}

QWidget *controlWidget(QWidget *window, const forms::ControlDef &control)
{
    return window->findChild<QWidget *>(QLatin1String(control.name));
}

QString plainCaption(const char *caption)
{
    return QString::fromLatin1(caption).remove(QLatin1Char('&'));
}

// Why text does not fit in a control of the given kind and size; empty when it fits.
QString misfit(QWidget *widget, const forms::ControlDef &control, const QString &text)
{
    const QFontMetrics metrics(widget->font());
    const QRect box = control.pixelRect();
    int needed = metrics.horizontalAdvance(text);
    switch (control.kind) {
    case forms::Kind::Label:
        if (control.flags & forms::WordWrap) {
            const int height = metrics.boundingRect(QRect(0, 0, box.width(), 10000), Qt::TextWordWrap, text).height();
            return height <= box.height() ? QString() : QStringLiteral("wraps to %1 px, box %2").arg(height).arg(box.height());
        }
        break;
    case forms::Kind::CommandButton: needed += 4; break;
    case forms::Kind::CheckBox:
        needed += widget->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, widget)
            + widget->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, widget);
        break;
    case forms::Kind::ListBox: needed += 8; break; // frame and item margins
    default: break;
    }
    if (needed > box.width())
        return QStringLiteral("needs %1 px, box %2").arg(needed).arg(box.width());
    if (metrics.height() > box.height())
        return QStringLiteral("needs %1 px high, box %2").arg(metrics.height()).arg(box.height());
    return QString();
}

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void twips();
    void everyControlStandsWhereItsFormSays_data();
    void everyControlStandsWhereItsFormSays();
    void tabOrderFollowsTheTabIndexes_data();
    void tabOrderFollowsTheTabIndexes();
    void captionsFitTheirControls_data();
    void captionsFitTheirControls();
    void mainWindowFrameAndMenus();
    void dialogsFrames();
    void pictures();
};

void TestForms::twips()
{
    QCOMPARE(forms::twipsToPixels(15), 1);
    QCOMPARE(forms::twipsToPixels(9000), 600);
    QCOMPARE(forms::twipsToPixels(5550), 370);
    QCOMPARE(forms::twipsToPixels(7), 0);
    QCOMPARE(forms::twipsToPixels(8), 1);
    QCOMPARE(forms::twipsToPixels(295), 20);
}

void TestForms::everyControlStandsWhereItsFormSays_data()
{
    QTest::addColumn<QString>("form");
    for (const forms::FormDef *def : forms::allFormDefs())
        QTest::newRow(def->name) << QString::fromLatin1(def->name);
}

void TestForms::everyControlStandsWhereItsFormSays()
{
    QFETCH(QString, form);
    const forms::FormDef *def = nullptr;
    for (const forms::FormDef *s : forms::allFormDefs())
        def = QLatin1String(s->name) == form ? s : def;
    Recorder recorder;
    QTemporaryDir dir;
    const auto window = buildWindow(*def, recorder, dir);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->windowTitle(), QString::fromLatin1(def->caption));
    const QWidget *surface = window->findChild<QWidget *>(QStringLiteral("surface"));
    QCOMPARE(surface->size(), def->pixelSize());
    QWidget *tabControl = window->findChild<QWidget *>(QStringLiteral("SSTab1"));
    for (const forms::ControlDef &control : def->controls) {
        QWidget *widget = controlWidget(window.get(), control);
        QVERIFY2(widget, control.name);
        const QWidget *container = control.container == forms::kOnWindow ? surface : tabControl;
        const QRect placed(widget->mapTo(container, QPoint(0, 0)), widget->size());
        QVERIFY2(placed == control.pixelRect(), control.name);
        if (control.fontPoints > 0)
            QCOMPARE(widget->font().pixelSize(), qRound(control.fontPoints * 4 / 3));
        else
            QCOMPARE(widget->font().pixelSize(), 11);
        if (control.foreground >= 0)
            QCOMPARE(widget->palette().color(widget->foregroundRole()), QColor::fromRgb(QRgb(control.foreground)));
        if (control.background >= 0) {
            QCOMPARE(widget->palette().color(widget->backgroundRole()), QColor::fromRgb(QRgb(control.background)));
            QVERIFY(widget->autoFillBackground());
        }
        if (auto *label = qobject_cast<QLabel *>(widget); label && control.caption)
            QCOMPARE(label->text(), QString::fromLatin1(control.caption));
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            QCOMPARE(button->text(), QString::fromLatin1(control.caption));
        if (auto *list = qobject_cast<QListWidget *>(widget)) {
            QStringList items;
            for (int i = 0; i < list->count(); ++i)
                items.append(list->item(i)->text());
            QCOMPARE(items, control.items());
        }
        if (control.flags & forms::Underline)
            QVERIFY(widget->font().underline());
    }
}

void TestForms::tabOrderFollowsTheTabIndexes_data() { everyControlStandsWhereItsFormSays_data(); }

void TestForms::tabOrderFollowsTheTabIndexes()
{
    QFETCH(QString, form);
    const forms::FormDef *def = nullptr;
    for (const forms::FormDef *s : forms::allFormDefs())
        def = QLatin1String(s->name) == form ? s : def;
    Recorder recorder;
    QTemporaryDir dir;
    const auto window = buildWindow(*def, recorder, dir);

    // The focus targets in tab-index order; labels, pictures and images take no focus.
    std::vector<std::pair<int, QWidget *>> expected;
    for (const forms::ControlDef &control : def->controls) {
        QWidget *widget = controlWidget(window.get(), control);
        const bool focusable = control.kind != forms::Kind::Label && control.kind != forms::Kind::PictureBox
            && control.kind != forms::Kind::Image;
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, focusable);
        if (focusable)
            expected.emplace_back(control.tabIndex, widget->focusProxy() ? widget->focusProxy() : widget);
    }
    std::sort(expected.begin(), expected.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QStringList want;
    for (const auto &e : expected)
        want.append(e.second->objectName().isEmpty() ? e.second->parentWidget()->objectName() : e.second->objectName());

    QStringList got;
    QWidget *w = expected.front().second;
    do {
        for (const auto &e : expected) {
            if (e.second == w)
                got.append(w->objectName().isEmpty() ? w->parentWidget()->objectName() : w->objectName());
        }
        w = w->nextInFocusChain();
    } while (w != expected.front().second && got.size() < want.size());
    QCOMPARE(got.join(QLatin1Char(' ')), want.join(QLatin1Char(' ')));
}

void TestForms::captionsFitTheirControls_data() { everyControlStandsWhereItsFormSays_data(); }

void TestForms::captionsFitTheirControls()
{
    QFETCH(QString, form);
    const forms::FormDef *def = nullptr;
    for (const forms::FormDef *s : forms::allFormDefs())
        def = QLatin1String(s->name) == form ? s : def;
    Recorder recorder;
    QTemporaryDir dir;
    const auto window = buildWindow(*def, recorder, dir);
    for (const forms::ControlDef &control : def->controls) {
        QWidget *widget = controlWidget(window.get(), control);
        QStringList texts;
        if (control.kind == forms::Kind::ListBox)
            texts = control.items();
        else if (control.caption && control.kind != forms::Kind::TabControl && control.kind != forms::Kind::FileList)
            texts = {plainCaption(control.caption)};
        // Texts that the program itself puts into the fixed controls at run time.
        if (QLatin1String(control.name) == QLatin1String("Check1"))
            texts.append(QStringLiteral("No Sound"));
        if (control.container >= 0 && control.kind == forms::Kind::Label)
            texts.append(QStringLiteral("ROMs : 1000000"));
        for (const QString &text : texts) {
            const QString why = misfit(widget, control, text);
            QVERIFY2(why.isEmpty(), qPrintable(QStringLiteral("%1 \"%2\": %3").arg(control.name, text, why)));
        }
        if (control.kind == forms::Kind::TabControl) {
            auto *tabs = qobject_cast<QTabWidget *>(widget);
            QCOMPARE(tabs->count(), 3);
            for (int i = 0; i < tabs->count(); ++i) {
                QCOMPARE(tabs->tabText(i), control.items().at(i));
                QVERIFY(tabs->tabBar()->tabRect(i).width()
                        >= QFontMetrics(tabs->tabBar()->font()).horizontalAdvance(tabs->tabText(i)) + 8);
            }
        }
    }
}

void TestForms::mainWindowFrameAndMenus()
{
    Recorder recorder;
    QTemporaryDir dir;
    app::Form1 window(recorder.context(dir.path(), dir.filePath(QStringLiteral("quorvane.ini"))));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.centralWidget()->size(), QSize(600, 370));
    QCOMPARE(window.centralWidget()->y(), window.menuBar()->height()); // client area below the menu bar
    QCOMPARE(window.minimumSize(), window.maximumSize());                // not resizable
    QVERIFY(window.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(window.centralWidget()->palette().color(QPalette::Window), QColor(Qt::black));

    // The menu tree: captions with access keys, in order, no shortcut keys.
    QStringList tree;
    for (QAction *top : window.menuBar()->actions()) {
        tree.append(top->objectName() + QLatin1Char(':') + top->text());
        for (QAction *item : top->menu()->actions()) {
            tree.append(item->objectName() + QLatin1Char(':') + item->text());
            QVERIFY(item->shortcut().isEmpty());
            QVERIFY(!item->isCheckable() && !item->isSeparator() && item->isEnabled());
        }
    }
    QCOMPARE(tree, (QStringList{"filemnu:&File", "filemnuexit:&Exit", "mnuoptions:&Options",
                                "mnuoptionsdir:&Directories", "mnuhelp:&Help", "mnuhelpreadme:&Readme",
                                "mnuhelpabout:&About"}));

    // Before start-up: nothing selected, box clear, count labels empty, preview blank.
    QCOMPARE(window.check1()->value(), 0);
    QCOMPARE(window.check1()->text(), QStringLiteral("Sound"));
    QCOMPARE(window.list1()->currentRow(), -1);
    QCOMPARE(window.list2()->currentRow(), -1);
    QCOMPARE(window.countLabel(1)->text(), QString());
    QVERIFY(window.picture2()->picture().isNull());
    QCOMPARE(window.ssTab1()->currentIndex(), 0);
}

void TestForms::dialogsFrames()
{
    for (const char *name : {"Directories", "Form3", "Form4", "Directories2", "Form2"}) {
        const forms::FormDef &def = QLatin1String(name) == QLatin1String("Directories") ? forms::directoriesDef()
            : QLatin1String(name) == QLatin1String("Form2") ? forms::form2Def() : forms::pickerDef(name);
        forms::FormDialog dialog(def, nullptr);
        const bool sizable = def.border == forms::Border::Sizable;
        QCOMPARE(dialog.minimumSize() == dialog.maximumSize(), !sizable);
        QCOMPARE(bool(dialog.windowFlags() & Qt::WindowMaximizeButtonHint), sizable);
        QCOMPARE(bool(dialog.windowFlags() & Qt::WindowMinimizeButtonHint), sizable);
        QCOMPARE(dialog.size(), def.pixelSize());
        for (QPushButton *button : dialog.findChildren<QPushButton *>())
            QVERIFY(!button->isDefault() && !button->autoDefault());
        // Escape closes nothing.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY2(dialog.isVisible(), name);
    }
}

void TestForms::pictures()
{
    const QIcon icon = forms::applicationIcon();
    QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
    QCOMPARE(forms::bannerImage().size(), QSize(300, 80));
    QVERIFY(!forms::bannerImage().hasAlphaChannel()); // 24-bit colour
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
