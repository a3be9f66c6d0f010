#include "forms/formbuilder.h"

#include "forms/controls.h"
#include "forms/dirlistbox.h"
#include "forms/filelistbox.h"

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

// The pictures and fonts live in a static library: register them before first use.
static void initResources()
{
    Q_INIT_RESOURCE(quorvane);
    Q_INIT_RESOURCE(fonts);
}

namespace forms {

namespace {

QColor resolveColour(int colour, const QPalette &palette)
{
    switch (colour) {
    case kSystemWindow: return palette.color(QPalette::Base);
    case kSystemWindowText: return palette.color(QPalette::Text);
    default: return QColor::fromRgb(QRgb(colour));
    }
}

void applyColours(QWidget *widget, const ControlDef &def)
{
    // Start from the kind's own colours, not the ones the (black) window would hand down.
    QPalette p = QApplication::palette(widget);
    p.setResolveMask(~QPalette::ResolveMask(0));
    if (def.foreground != kNoColour) {
        const QColor fg = resolveColour(def.foreground, p);
        p.setColor(QPalette::WindowText, fg);
        p.setColor(QPalette::Text, fg);
        p.setColor(QPalette::ButtonText, fg);
    }
    if (def.background != kNoColour) {
        const QColor bg = resolveColour(def.background, p);
        p.setColor(QPalette::Window, bg);
        p.setColor(widget->backgroundRole(), bg); // Button for the check box
        widget->setAutoFillBackground(true);
    }
    widget->setPalette(p);
}

QWidget *createControl(const ControlDef &def, const QFont &font)
{
    const QString caption = QString::fromLatin1(def.caption ? def.caption : "");
    switch (def.kind) {
    case Kind::Label: {
        auto *label = new QLabel(caption);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(def.flags & WordWrap);
        label->setTextFormat(Qt::PlainText);
        if (def.flags & Selectable) {
            label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
            label->setFocusPolicy(Qt::StrongFocus); // reached by Tab, as a read-only field is
        }
        return label;
    }
    case Kind::TextField: return new QLineEdit(caption);
    case Kind::CommandButton: {
        auto *button = new QPushButton(caption);
        button->setAutoDefault(false);
        button->setDefault(false);
        return button;
    }
    case Kind::CheckBox: return new CheckBox(caption);
    case Kind::ListBox: {
        auto *list = new OptionList;
        list->addItems(def.items());
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        return list;
    }
    case Kind::PictureBox: return new PictureBox(def.flags & Flat);
    case Kind::Image: {
        auto *image = new QLabel;
        image->setPixmap(applicationIcon().pixmap(QSize(32, 32)));
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return image;
    }
    case Kind::TabControl: return new TabControl(def.items(), font);
    case Kind::FileList: return new FileListBox(caption);
    case Kind::DriveList: return new DriveListBox;
    case Kind::DirList: return new DirListBox;
    }
    return new QWidget;
}

bool takesFocus(const ControlDef &def)
{
    if (def.kind == Kind::Label)
        return def.flags & Selectable;
    return def.kind != Kind::PictureBox && def.kind != Kind::Image;
}

// A built-in font's family, registered with the application's font database on first use.
QString builtInFamily(const char *file)
{
    initResources();
    const int id = QFontDatabase::addApplicationFont(QStringLiteral(":/quorvane/fonts/") + QLatin1String(file));
    return id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
}

QFont sizedFont(const QString &family, QFont::StyleHint hint, double points)
{
    QFont font(family);
    font.setStyleHint(hint);
    // Smoothed, whatever the system's setting: Qt's plain (aliased) glyphs leave out a capital I
    // or an exclamation mark where a system smooths no text (Wine, by default).
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setPixelSize(qRound(points * 96.0 / 72.0));
    return font;
}

// The controls of a form as built, in the order of its table.
struct BuiltForm {
    const FormDef &def;
    FormSurface *surface;
    std::vector<QWidget *> controls;

    // The control the table names name, as the kind the table gives it.
    template <class Control>
    Control *take(const char *name) const
    {
        for (size_t i = 0; i < def.controls.size(); ++i) {
            if (std::strcmp(def.controls[i].name, name) == 0) {
                auto *control = qobject_cast<Control *>(controls[i]);
                Q_ASSERT(control);
                return control;
            }
        }
        Q_ASSERT_X(false, "BuiltForm::take", name);
        return nullptr;
    }
};

BuiltForm buildForm(QWidget *window, const FormDef &def)
{
    window->setObjectName(QString::fromLatin1(def.name));
    window->setWindowTitle(QString::fromLatin1(def.caption));
    if (QGuiApplication::windowIcon().isNull()) // else the application's icon is the window's
        window->setWindowIcon(applicationIcon());
    window->setFont(formFont(kDefaultFont));

    Qt::WindowFlags flags = (qobject_cast<QDialog *>(window) ? Qt::Dialog : Qt::Window)
        | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (def.minimizeButton)
        flags |= Qt::WindowMinimizeButtonHint;
    if (def.maximizeButton)
        flags |= Qt::WindowMaximizeButtonHint;
    if (def.border == Border::FixedSingle)
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    window->setWindowFlags(flags);

    auto *surface = new FormSurface(def, window);
    if (qobject_cast<QDialog *>(window)) {
        if (def.border == Border::FixedSingle)
            window->setFixedSize(surface->size());
        else
            window->resize(surface->size());
    }

    BuiltForm built{def, surface, {}};
    TabControl *tabControl = nullptr;
    std::vector<std::pair<int, QWidget *>> tabStops;
    for (const ControlDef &control : def.controls) {
        // Every control is given the form's font itself, the default size too: on Windows the
        // platform gives lists, tabs, buttons and fields fonts of their own, which would win over
        // the window's (and Wine's draws no capital I at small sizes).
        QFont font = formFont(control.fontPoints > 0 ? control.fontPoints : kDefaultFont);
        font.setUnderline(control.flags & Underline);
        QWidget *widget = createControl(control, font);
        built.controls.push_back(widget);
        widget->setObjectName(QString::fromLatin1(control.name));
        widget->setFont(font);
        for (QWidget *part : widget->findChildren<QWidget *>()) // a tab strip, a drop-down's list
            part->setFont(font);
        applyColours(widget, control);
        if (control.accessibleName) {
            widget->setAccessibleName(QString::fromLatin1(control.accessibleName));
            if (QWidget *proxy = widget->focusProxy()) // the tab control's strip takes its focus
                proxy->setAccessibleName(widget->accessibleName());
        }
        if (control.container == kOnWindow || !tabControl)
            surface->place(widget, control.pixelRect(), control.growth);
        else
            tabControl->placeOnTab(control.container, widget, control.pixelRect(), control.growth);
        if (auto *tabs = qobject_cast<TabControl *>(widget)) {
            tabControl = tabs;
            tabs->setTableSize(control.pixelRect().size());
        }
        if (!takesFocus(control))
            widget->setFocusPolicy(Qt::NoFocus);
        else if (control.tabIndex != kNoTabStop)
            tabStops.emplace_back(control.tabIndex, widget);
    }
    std::sort(tabStops.begin(), tabStops.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    // Chain the focus targets themselves (the tab control's is its tab strip), so that the
    // controls on its pages follow the strip instead of being taken as part of the tab control.
    auto target = [](QWidget *w) { return w->focusProxy() ? w->focusProxy() : w; };
    for (size_t i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(target(tabStops[i - 1].second), target(tabStops[i].second));
    return built;
}

} // namespace

QFont formFont(double points)
{
    static const QString family = [] {
        builtInFamily("LiberationSans-Bold.ttf"); // so that bold text is drawn, not made up
        return builtInFamily("LiberationSans-Regular.ttf");
    }();
    return sizedFont(family, QFont::SansSerif, points);
}

// Only the readme viewer writes in it: registered when it first opens.
QFont fixedFont(double points)
{
    static const QString family = builtInFamily("LiberationMono-Regular.ttf");
    return sizedFont(family, QFont::Monospace, points);
}

QIcon applicationIcon()
{
    initResources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/quorvane/icon16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/quorvane/icon32.png"), QSize(32, 32));
    return icon;
}

namespace {

// An icon drawn at 16 and 32 pixels: draw paints it on a 16 by 16 grid.
QIcon drawnIcon(const std::function<void(QPainter &painter)> &draw)
{
    QIcon drawn;
    for (const int side : {16, 32}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(side / 16.0, side / 16.0);
        draw(painter);
        painter.end();
        drawn.addPixmap(pixmap);
    }
    return drawn;
}

} // namespace

QIcon warningIcon()
{
    // An amber triangle with a dark exclamation mark.
    static const QIcon icon = drawnIcon([](QPainter &painter) {
        painter.setPen(QPen(QColor(0x80, 0x50, 0x00), 1.0));
        painter.setBrush(QColor(0xF5, 0xB0, 0x1A));
        painter.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(15, 14.5), QPointF(1, 14.5)}));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0x20, 0x18, 0x00));
        painter.drawRect(QRectF(7.2, 5, 1.6, 5.5));
        painter.drawRect(QRectF(7.2, 11.5, 1.6, 1.6));
    });
    return icon;
}

QIcon favouriteIcon(bool warned)
{
    // A gold five-pointed star with a darker edge; a favourite that is not sound keeps the
    // warning's triangle, small, in the lower right corner.
    auto star = [](bool withWarning) {
        return drawnIcon([withWarning](QPainter &painter) {
            QPolygonF points;
            for (int point = 0; point < 10; ++point) {
                const double radius = point % 2 == 0 ? 7.5 : 3.0;
                const double angle = -M_PI / 2 + point * M_PI / 5;
                points << QPointF(8 + radius * std::cos(angle), 8.6 + radius * std::sin(angle));
            }
            painter.setPen(QPen(QColor(0x8A, 0x5A, 0x00), 1.0));
            painter.setBrush(QColor(0xFF, 0xC8, 0x20));
            painter.drawPolygon(points);
            if (withWarning)
                warningIcon().paint(&painter, QRect(7, 7, 9, 9));
        });
    };
    static const QIcon plain = star(false), warning = star(true);
    return warned ? warning : plain;
}

QIcon blankIcon()
{
    static const QIcon icon = [] {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::transparent);
        return QIcon(pixmap);
    }();
    return icon;
}

QImage bannerImage()
{
    initResources();
    return QImage(QStringLiteral(":/quorvane/banner.png"));
}

MainWindowForm buildMainWindowForm(QMainWindow *window)
{
    const BuiltForm built = buildForm(window, mainWindowDef());
    window->setCentralWidget(built.surface);
    MainWindowForm form{built.take<CheckBox>("Check1"),       built.take<OptionList>("List1"),
                        built.take<OptionList>("List2"),      built.take<PictureBox>("Picture1"),
                        built.take<PictureBox>("Picture2"),   built.take<TabControl>("SSTab1"),
                        {},                                   {}};
    for (size_t slot = 0; slot < kSlotControls.size(); ++slot) {
        form.romLists[slot] = built.take<FileListBox>(kSlotControls[slot].fileList);
        form.romCounts[slot] = built.take<QLabel>(kSlotControls[slot].countLabel);
    }
    return form;
}

RomFoldersForm buildRomFoldersForm(QDialog *dialog)
{
    const BuiltForm built = buildForm(dialog, romFoldersDialogDef());
    RomFoldersForm form{{}, {}, built.take<QPushButton>("Command2"), {}};
    for (size_t slot = 0; slot < kSlotControls.size(); ++slot) {
        form.folderFields[slot] = built.take<QLineEdit>(kSlotControls[slot].folderField);
        form.browseButtons[slot] = built.take<QPushButton>(kSlotControls[slot].browseButton);
        form.subfolders[slot] = built.take<QCheckBox>(kSlotControls[slot].subfoldersBox);
    }
    return form;
}

PickerForm buildPickerForm(QDialog *dialog, int slot)
{
    const BuiltForm built = buildForm(dialog, pickerDef(slot));
    return {built.take<DriveListBox>("Drive1"), built.take<DirListBox>("Dir1"), built.take<QPushButton>("Command1")};
}

AboutForm buildAboutForm(QDialog *dialog)
{
    const BuiltForm built = buildForm(dialog, aboutBoxDef());
    return {built.take<QPushButton>("Command1")};
}

RomInfoForm buildRomInfoForm(QDialog *dialog)
{
    const BuiltForm built = buildForm(dialog, romInfoDef());
    RomInfoForm form{{}, built.take<QLabel>("problemsValue"), built.take<QPushButton>("copyButton"),
                     built.take<QPushButton>("okButton")};
    for (size_t row = 0; row < kRomInfoRows.size(); ++row)
        form.values[row] = built.take<QLabel>(kRomInfoRows[row].valueName);
    return form;
}

EmulatorsForm buildEmulatorsForm(QDialog *dialog)
{
    const BuiltForm built = buildForm(dialog, emulatorsDef());
    EmulatorsForm form{built.take<OptionList>("emulatorList"), built.take<QPushButton>("defaultButton"),
                       built.take<QPushButton>("removeButton"), built.take<QLabel>("nameCaption"),
                       built.take<QLabel>("programCaption"), built.take<QLabel>("argumentsCaption"),
                       built.take<QLabel>("emulatorsCaption"), built.take<QLineEdit>("nameField"),
                       built.take<QLineEdit>("programField"), built.take<QPushButton>("browseProgram"),
                       built.take<QLineEdit>("argumentsField"), built.take<CheckBox>("readsZip"), built.take<CheckBox>("reads7z"),
                       built.take<QPushButton>("addButton"), built.take<QPushButton>("closeButton")};
    // A caption's access key goes to the control it names.
    form.listCaption->setBuddy(form.emulators);
    form.nameCaption->setBuddy(form.name);
    form.programCaption->setBuddy(form.program);
    form.argumentsCaption->setBuddy(form.arguments);
    return form;
}

ProgramPickerForm buildProgramPickerForm(QDialog *dialog)
{
    const BuiltForm built = buildForm(dialog, programPickerDef());
    return {built.take<DriveListBox>("Drive1"), built.take<DirListBox>("Dir1"), built.take<OptionList>("programList"),
            built.take<QPushButton>("Command1")};
}

} // namespace forms
