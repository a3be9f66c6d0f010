#include "forms/formdefs.h"

#include "forms/twips.h"

#include <QByteArray>


namespace forms {

namespace {
constexpr int kBlack = 0x000000;
constexpr int kRed = 0xFF0000;
constexpr int kBlue = 0x0000FF;

const char *const kDescription =
    "This is a Frontend For The NES EMulator Nesticle. I Made it for fun since i never found any "
    "Frontend for Nesticle. This Program is freeware and you can give it to anyone you want. If you "
    "need any help using it please read the help file. Hope you like it and have fun using it.";

const char *slotName(int slot, const char *SlotControls::*name) { return kSlotControls.at(size_t(slot)).*name; }

// "Dir1|Dir2|Dir3", from the slot table.
const char *tabCaptions()
{
    static const QByteArray captions = [] {
        QByteArray joined;
        for (const SlotControls &slot : kSlotControls)
            joined += (joined.isEmpty() ? "" : "|") + QByteArray(slot.tabCaption);
        return joined;
    }();
    return captions.constData();
}

FormDef makePicker(const char *name, int width, int height, Border border, bool minMax, int driveTab, int dirTab,
                   int okTab)
{
    return FormDef{name, "Select Directory", width, height, border, minMax, minMax, kNoColour,
        {
            control("Drive1", Kind::DriveList).at(0, 0, 2895, 315).tab(driveTab).named("Drives"),
            control("Dir1", Kind::DirList).at(0, 360, 2895, 3015).tab(dirTab).named("Folders"),
            control("Command1", Kind::CommandButton).at(0, 3480, 2895, 255).text("&OK").tab(okTab),
        },
        {}};
}
} // namespace

ControlDef control(const char *name, Kind kind)
{
    ControlDef def;
    def.name = name;
    def.kind = kind;
    return def;
}

ControlDef ControlDef::at(int x, int y, int w, int h) const
{
    ControlDef def = *this;
    def.left = x;
    def.top = y;
    def.width = w;
    def.height = h;
    return def;
}

ControlDef ControlDef::onTab(int page) const
{
    ControlDef def = *this;
    def.container = page;
    return def;
}

ControlDef ControlDef::text(const char *words) const
{
    ControlDef def = *this;
    def.caption = words;
    return def;
}

ControlDef ControlDef::font(double points) const
{
    ControlDef def = *this;
    def.fontPoints = points;
    return def;
}

ControlDef ControlDef::colours(int fore, int back) const
{
    ControlDef def = *this;
    def.foreground = fore;
    def.background = back;
    return def;
}

ControlDef ControlDef::tab(int index) const
{
    ControlDef def = *this;
    def.tabIndex = index;
    return def;
}

ControlDef ControlDef::with(int flag) const
{
    ControlDef def = *this;
    def.flags |= flag;
    return def;
}

ControlDef ControlDef::named(const char *spoken) const
{
    ControlDef def = *this;
    def.accessibleName = spoken;
    return def;
}

ControlDef ControlDef::grows(Growth share) const
{
    ControlDef def = *this;
    def.growth = share;
    return def;
}

QRect grownRect(const QRect &rect, const Growth &share, const QSize &growth)
{
    auto by = [](int percent, int pixels) { return percent * pixels / 100; };
    return rect.adjusted(by(share.left, growth.width()), by(share.top, growth.height()), by(share.right, growth.width()),
                         by(share.bottom, growth.height()));
}

QRect ControlDef::pixelRect() const { return twipsRect(left, top, width, height); }

QStringList ControlDef::items() const
{
    return caption ? QString::fromLatin1(caption).split(QLatin1Char('|')) : QStringList();
}

QSize FormDef::pixelSize() const
{
    return QSize(twipsToPixels(clientWidth), twipsToPixels(clientHeight));
}

const FormDef &mainWindowDef()
{
    // Grown, the window gives its new room to the ROM lists and the picture box, half each across
    // and all of it down; the option column keeps its size at the right edge, the banner stays
    // over the middle and the hint under the picture.
    constexpr Growth kRightColumn{100, 0, 100, 0};
    constexpr Growth kMiddle{50, 0, 50, 0};
    constexpr Growth kLeftHalf{0, 0, 50, 100};
    constexpr Growth kRightHalf{50, 0, 100, 100};
    constexpr Growth kUnderPicture{50, 100, 50, 100};
    constexpr Growth kWholeTab{0, 0, 100, 100};
    constexpr Growth kTabFoot{0, 100, 100, 100};
    static const FormDef def{"Form1", "Quorvane v1.0b", 9000, 5550, Border::Sizable, true, true, kBlack,
        {
            control("Check1", Kind::CheckBox).at(7440, 5040, 1335, 255).text("Sound").font(9.75).colours(kRed, kBlack).tab(0)
                .grows(kRightColumn),
            control("List1", Kind::ListBox).at(7440, 3480, 1455, 1425)
                .text("256x224|256x240|256x256|320x200|320x240|640x480").tab(1).named("Resolution").grows(kRightColumn),
            control("Label1", Kind::Label).at(7440, 3120, 1455, 375).text("Resolution").font(13.5).colours(kRed, kBlack).tab(2)
                .grows(kRightColumn),
            control("Picture1", Kind::PictureBox).at(2280, 120, 4455, 1215).colours(kSystemWindowText, kSystemWindow)
                .tab(3).with(Flat).named("Quorvane").grows(kMiddle),
            control("List2", Kind::ListBox).at(7440, 1680, 1455, 1425).text("Keyboard|Gamepad|Joystick").tab(4)
                .named("Controller").grows(kRightColumn),
            control("Label4", Kind::Label).at(7440, 1200, 1455, 375).text("Controller").font(13.5).colours(kRed, kBlack).tab(5)
                .grows(kRightColumn),
            control("Picture2", Kind::PictureBox).at(3360, 1680, 3855, 3375).tab(6).named("Snapshot").grows(kRightHalf),
            control("Label2", Kind::Label).at(3240, 5160, 4215, 255)
                .text("Double Click ROM To Run. Press ALT + Q To Quit Game.").colours(kRed, kBlack).tab(7).grows(kUnderPicture),
            control("SSTab1", Kind::TabControl).at(120, 1680, 3135, 3615).text(tabCaptions()).tab(8).named("ROM folders")
                .grows(kLeftHalf),
            control(slotName(0, &SlotControls::fileList), Kind::FileList).onTab(0).at(120, 360, 2895, 2820).text("*.nes").tab(9)
                .named(slotName(0, &SlotControls::listName)).grows(kWholeTab),
            control(slotName(1, &SlotControls::fileList), Kind::FileList).onTab(1).at(120, 360, 2895, 2820).text("*.nes").tab(10)
                .named(slotName(1, &SlotControls::listName)).grows(kWholeTab),
            control(slotName(2, &SlotControls::fileList), Kind::FileList).onTab(2).at(120, 360, 2895, 2820).text("*.nes").tab(11)
                .named(slotName(2, &SlotControls::listName)).grows(kWholeTab),
            control(slotName(0, &SlotControls::countLabel), Kind::Label).onTab(0).at(240, 3240, 2655, 255).text("").tab(12)
                .grows(kTabFoot),
            control(slotName(1, &SlotControls::countLabel), Kind::Label).onTab(1).at(240, 3240, 2655, 255).text("").tab(13)
                .grows(kTabFoot),
            control(slotName(2, &SlotControls::countLabel), Kind::Label).onTab(2).at(240, 3240, 2655, 255).text("").tab(14)
                .grows(kTabFoot),
        },
        {
            {3240, 0, 3240, 8040, {50, 0, 50, 100}},
            {3240, 1440, 9240, 1440, {50, 0, 100, 0}},
        }};
    return def;
}

const FormDef &romFoldersDialogDef()
{
    // Each folder's "Include subfolders" box stands to the right of its row; the rest is as it was.
    static const FormDef def{"Directories", "Directories", 6600, 2250, Border::FixedSingle, false, false, kNoColour,
        {
            control("Label1", Kind::Label).at(120, 240, 1455, 255).text("Roms Folder 1").font(9.75).tab(0),
            control(slotName(0, &SlotControls::folderField), Kind::TextField).at(1920, 150, 1935, 345).text("").tab(1)
                .named(slotName(0, &SlotControls::fieldName)),
            control(slotName(0, &SlotControls::browseButton), Kind::CommandButton).at(3960, 240, 375, 255).text("...").tab(2)
                .named(slotName(0, &SlotControls::browseName)),
            control("Command2", Kind::CommandButton).at(120, 1800, 1095, 375).text("Save").tab(3),
            control("Label2", Kind::Label).at(120, 720, 1455, 255).text("Roms Folder 2").font(9.75).tab(4),
            control(slotName(1, &SlotControls::folderField), Kind::TextField).at(1920, 600, 1935, 375).text("").tab(5)
                .named(slotName(1, &SlotControls::fieldName)),
            control(slotName(1, &SlotControls::browseButton), Kind::CommandButton).at(3960, 720, 375, 255).text("...").tab(6)
                .named(slotName(1, &SlotControls::browseName)),
            control("Label3", Kind::Label).at(120, 1200, 1455, 255).text("Roms Folder 3").font(9.75).tab(7),
            control(slotName(2, &SlotControls::folderField), Kind::TextField).at(1920, 1080, 1935, 375).text("").tab(8)
                .named(slotName(2, &SlotControls::fieldName)),
            control(slotName(2, &SlotControls::browseButton), Kind::CommandButton).at(3960, 1200, 375, 255).text("...").tab(9)
                .named(slotName(2, &SlotControls::browseName)),
            control(slotName(0, &SlotControls::subfoldersBox), Kind::CheckBox).at(4440, 240, 2040, 255).text("Include &subfolders")
                .tab(10).named(slotName(0, &SlotControls::subfoldersName)),
            control(slotName(1, &SlotControls::subfoldersBox), Kind::CheckBox).at(4440, 720, 2040, 255).text("Include &subfolders")
                .tab(11).named(slotName(1, &SlotControls::subfoldersName)),
            control(slotName(2, &SlotControls::subfoldersBox), Kind::CheckBox).at(4440, 1200, 2040, 255).text("Include &subfolders")
                .tab(12).named(slotName(2, &SlotControls::subfoldersName)),
        },
        {
            {0, 1680, 6780, 1680, kStays},
        }};
    return def;
}

const FormDef &pickerDef(int slot)
{
    static const std::array<FormDef, 3> pickers{
        makePicker(kSlotControls[0].picker, 2925, 3735, Border::FixedSingle, false, 0, 1, 2),
        makePicker(kSlotControls[1].picker, 2895, 3705, Border::Sizable, true, 0, 2, 1),
        makePicker(kSlotControls[2].picker, 2895, 3705, Border::FixedSingle, false, 0, 1, 2),
    };
    return pickers.at(size_t(slot));
}

const FormDef &aboutBoxDef()
{
    static const FormDef def{"Form2", "About", 4455, 3705, Border::FixedSingle, false, false, kNoColour,
        {
            control("Image1", Kind::Image).at(240, 120, 480, 480),
            control("Label3", Kind::Label).at(960, 120, 1695, 495).text("Quorvane").font(18).colours(kRed).tab(3),
            control("Label4", Kind::Label).at(2280, 480, 855, 495).text("v1.0b").font(13.5).colours(kBlue).tab(4),
            control("Label1", Kind::Label).at(120, 960, 4215, 1095).text(kDescription).tab(0).with(WordWrap),
            control("Label2", Kind::Label).at(120, 2040, 3975, 615)
                .text("Written in C++ with the Qt toolkit by the Quorvane project.").tab(1).with(WordWrap),
            control("Command1", Kind::CommandButton).at(1200, 2760, 1695, 375).text("&OK").tab(2),
            control("Label6", Kind::Label).at(480, 3240, 3495, 255).text("Help: see readme.txt (Help > Readme)").font(8.25)
                .colours(kBlue).tab(6).with(Underline),
            control("Label5", Kind::Label).at(480, 3480, 3255, 255).text("Freeware, without any warranty.").tab(5),
        },
        {}};
    return def;
}

const FormDef &romInfoDef()
{
    static const FormDef def = [] {
        constexpr int kMargin = 120, kPitch = 270, kRowHeight = 255, kCaptionWidth = 1335, kValueLeft = 1560;
        constexpr int kWidth = 7560, kValueWidth = kWidth - kValueLeft - kMargin;
        constexpr int kRowsEnd = kMargin + int(kRomInfoRows.size()) * kPitch;
        constexpr int kProblemsHeight = 1095; // four lines
        constexpr int kButtonsTop = kRowsEnd + kProblemsHeight + 2 * kMargin;
        FormDef info{"romInfo", "ROM Information", kWidth, kButtonsTop + 375 + kMargin, Border::FixedSingle, false, false,
                     kNoColour, {}, {}};
        int tab = 0;
        for (size_t row = 0; row < kRomInfoRows.size(); ++row) {
            const int top = kMargin + int(row) * kPitch;
            info.controls.push_back(control(kRomInfoRows[row].captionName, Kind::Label).at(kMargin, top, kCaptionWidth, kRowHeight)
                                        .text(kRomInfoRows[row].caption));
            // Named for a screen reader by its caption; its text is filled as the file is read.
            ControlDef value = control(kRomInfoRows[row].valueName, Kind::Label).at(kValueLeft, top, kValueWidth, kRowHeight)
                                   .tab(tab++).with(Selectable);
            value.accessibleName = kRomInfoRows[row].caption;
            info.controls.push_back(value);
        }
        ControlDef problems = control("problemsValue", Kind::Label).at(kMargin, kRowsEnd + kMargin, kWidth - 2 * kMargin, kProblemsHeight)
                                  .tab(tab++).with(Selectable | WordWrap);
        problems.accessibleName = "Problems";
        info.controls.push_back(problems);
        info.controls.push_back(control("copyButton", Kind::CommandButton).at(kWidth - 2 * 1335 - 2 * kMargin, kButtonsTop, 1335, 375)
                                    .text("&Copy").tab(tab++));
        info.controls.push_back(control("okButton", Kind::CommandButton).at(kWidth - 1335 - kMargin, kButtonsTop, 1335, 375)
                                    .text("&OK").tab(tab++));
        return info;
    }();
    return def;
}

const FormDef &emulatorsDef()
{
    static const FormDef def{"emulators", "Emulators", 7200, 5520, Border::FixedSingle, false, false, kNoColour,
        {
            control("emulatorsCaption", Kind::Label).at(120, 120, 6960, 255).text("&Emulators found, and your own:"),
            control("emulatorList", Kind::ListBox).at(120, 400, 6960, 1815).tab(0).named("Emulators"),
            control("defaultButton", Kind::CommandButton).at(120, 2300, 1815, 375).text("Use as &Default").tab(1),
            control("removeButton", Kind::CommandButton).at(2055, 2300, 1335, 375).text("&Remove").tab(2),
            control("ownCaption", Kind::Label).at(120, 2840, 6960, 255).text("Add your own emulator:").font(9.75),
            control("nameCaption", Kind::Label).at(120, 3200, 1095, 255).text("&Name:"),
            control("nameField", Kind::TextField).at(1320, 3160, 5760, 315).text("").tab(3).named("Name"),
            control("programCaption", Kind::Label).at(120, 3600, 1095, 255).text("&Program:"),
            control("programField", Kind::TextField).at(1320, 3560, 5280, 315).text("").tab(4).named("Program"),
            control("browseProgram", Kind::CommandButton).at(6720, 3560, 360, 315).text("...").tab(5).named("Browse for the program"),
            control("argumentsCaption", Kind::Label).at(120, 4000, 1095, 255).text("&Arguments:"),
            control("argumentsField", Kind::TextField).at(1320, 3960, 5760, 315).text("{rom}").tab(6).named("Arguments"),
            control("placeholdersLabel", Kind::Label).at(1320, 4300, 5760, 255)
                .text("{rom}: the ROM's path, {rom.dir}: its folder, {rom.name}: its name"),
            control("readsZip", Kind::CheckBox).at(1320, 4620, 2535, 255).text("Opens &zip archives").tab(7),
            control("reads7z", Kind::CheckBox).at(3960, 4620, 2535, 255).text("Opens 7&z archives").tab(8),
            control("addButton", Kind::CommandButton).at(4440, 5025, 1215, 375).text("Add &Own").tab(9),
            control("closeButton", Kind::CommandButton).at(5865, 5025, 1215, 375).text("&Close").tab(10),
        },
        {
            {120, 2760, 7080, 2760, kStays},
        }};
    return def;
}

const FormDef &programPickerDef()
{
    static const FormDef def{"programPicker", "Select Program", 5910, 3735, Border::FixedSingle, false, false, kNoColour,
        {
            control("Drive1", Kind::DriveList).at(0, 0, 2895, 315).tab(0).named("Drives"),
            control("Dir1", Kind::DirList).at(0, 360, 2895, 3015).tab(1).named("Folders"),
            control("programList", Kind::ListBox).at(3015, 0, 2895, 3375).tab(2).named("Programs"),
            control("Command1", Kind::CommandButton).at(0, 3480, 5910, 255).text("&OK").tab(3),
        },
        {}};
    return def;
}

std::vector<const FormDef *> allFormDefs()
{
    return {&mainWindowDef(), &romFoldersDialogDef(), &pickerDef(0), &pickerDef(1), &pickerDef(2), &aboutBoxDef(), &romInfoDef(),
            &emulatorsDef(), &programPickerDef()};
}

} // namespace forms
