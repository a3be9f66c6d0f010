#include "forms/formbuilder.h"
#include "forms/formdefs.h"
#include "testutil.h"

#include <QAccessible>
#include <QPushButton>
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

} // namespace

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void everyWindow_data()
    {
        QTest::addColumn<int>("index");
        const auto defs = forms::allFormDefs();
        for (size_t i = 0; i < defs.size(); ++i)
            QTest::newRow(defs[i]->name) << int(i);
    }

    // Walks each window's definition for what could really go wrong: a control outside its window,
    // a text that does not fit, the tab order not following the tab indexes; and the dialogs' keys.
    void everyWindow()
    {
        QFETCH(int, index);
        const forms::FormDef &def = *forms::allFormDefs().at(size_t(index));
        Recorder recorder;
        QTemporaryDir dir;
        std::unique_ptr<QWidget> window;
        if (QLatin1String(def.name) == "Form1"_L1)
            window = std::make_unique<app::MainWindow>(recorder.context(dir.path(), dir.filePath(u"quorvane.ini"_s)));
        else
            window = std::make_unique<forms::FormDialog>(def, nullptr);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QCOMPARE(window->windowTitle(), QString::fromLatin1(def.caption));
        const QWidget *surface = window->findChild<QWidget *>(u"surface"_s);
        QCOMPARE(surface->size(), def.pixelSize());
        QCOMPARE(window->minimumSize() == window->maximumSize(), def.border != forms::Border::Sizable);

        struct TabStop {
            int index;
            QWidget *widget;
            const char *name;
        };
        std::vector<TabStop> tabStops;
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
            // A control the user can reach: focusable and shown (on the main window, the current tab's list).
            QWidget *target = widget->focusProxy() ? widget->focusProxy() : widget; // the tab control's strip
            if (target->focusPolicy() != Qt::NoFocus) { // a screen reader says what it is
                QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(target);
                QVERIFY2(accessible && !accessible->text(QAccessible::Name).remove(u'&').trimmed().isEmpty(),
                         control.name);
            }
            if (target->focusPolicy() != Qt::NoFocus && target->isVisibleTo(window.get()))
                tabStops.push_back({control.tabIndex, target, control.name});
        }
        // The Tab cycle, by key presses: the tab stops in the order of their indexes, and round to the
        // first again; Shift+Tab the same backwards.
        std::sort(tabStops.begin(), tabStops.end(), [](const TabStop &a, const TabStop &b) { return a.index < b.index; });
        auto focused = [&] {
            const QWidget *focus = QApplication::focusWidget();
            const auto stop = std::find_if(tabStops.begin(), tabStops.end(), [focus](const TabStop &s) { return s.widget == focus; });
            return stop == tabStops.end() ? u"(%1)"_s.arg(focus ? focus->metaObject()->className() : "none")
                                          : QString::fromLatin1(stop->name);
        };
        QStringList expected;
        for (const TabStop &stop : tabStops)
            expected << QString::fromLatin1(stop.name);
        expected << expected.front();
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            if (key == Qt::Key_Backtab)
                std::reverse(expected.begin(), expected.end());
            QStringList seen;
            tabStops.front().widget->setFocus(Qt::TabFocusReason);
            for (qsizetype i = 0; i < expected.size(); ++i, QTest::keyClick(QApplication::focusWidget(), key))
                seen << focused();
            QCOMPARE(seen, expected);
        }
        if (QLatin1String(def.name) == "Form1"_L1)
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
            QVERIFY2(window->isVisible(), def.name);
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
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
