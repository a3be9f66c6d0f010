#include "forms/formdefs.h"

#include "forms/twips.h"

#include <cstring>

namespace forms {

namespace {
constexpr int kBlack = 0x000000;
constexpr int kRed = 0xFF0000;
constexpr int kBlue = 0x0000FF;

const char *const kDescription =
    "This is a Frontend For The NES EMulator Nesticle. I Made it for fun since i never found any "
    "Frontend for Nesticle. This Program is freeware and you can give it to anyone you want. If you "
    "need any help using it please read the help file. Hope you like it and have fun using it.";

FormDef makePicker(const char *name, int width, int height, Border border, bool minMax,
                    int driveTab, int dirTab, int okTab)
{
    return FormDef{name, "Select Directory", width, height, border, minMax, minMax, kNoColour,
        {
            {"Drive1", Kind::DriveList, kOnWindow, 0, 0, 2895, 315, nullptr, 0, kNoColour, kNoColour, driveTab, NoFlags},
            {"Dir1", Kind::DirList, kOnWindow, 0, 360, 2895, 3015, nullptr, 0, kNoColour, kNoColour, dirTab, NoFlags},
            {"Command1", Kind::CommandButton, kOnWindow, 0, 3480, 2895, 255, "&OK", 0, kNoColour, kNoColour, okTab, NoFlags},
        },
        {}};
}
} // namespace

QRect ControlDef::pixelRect() const { return twipsRect(left, top, width, height); }

QStringList ControlDef::items() const
{
    return caption ? QString::fromLatin1(caption).split(QLatin1Char('|')) : QStringList();
}

const ControlDef *FormDef::control(const char *controlName) const
{
    for (const ControlDef &c : controls) {
        if (std::strcmp(c.name, controlName) == 0)
            return &c;
    }
    return nullptr;
}

QSize FormDef::pixelSize() const
{
    return QSize(twipsToPixels(clientWidth), twipsToPixels(clientHeight));
}

const FormDef &mainWindowDef()
{
    static const FormDef def{"Form1", "Quorvane v1.0b", 9000, 5550, Border::FixedSingle, true, false, kBlack,
        {
            {"Check1", Kind::CheckBox, kOnWindow, 7440, 5040, 1335, 255, "Sound", 9.75, kRed, kBlack, 0, NoFlags},
            {"List1", Kind::ListBox, kOnWindow, 7440, 3480, 1455, 1425,
             "256x224|256x240|256x256|320x200|320x240|640x480", 0, kNoColour, kNoColour, 1, NoFlags},
            {"Label1", Kind::Label, kOnWindow, 7440, 3120, 1455, 375, "Resolution", 13.5, kRed, kBlack, 2, NoFlags},
            {"Picture1", Kind::PictureBox, kOnWindow, 2280, 120, 4455, 1215, nullptr, 0, kSystemWindowText,
             kSystemWindow, 3, Flat},
            {"List2", Kind::ListBox, kOnWindow, 7440, 1680, 1455, 1425, "Keyboard|Gamepad|Joystick", 0,
             kNoColour, kNoColour, 4, NoFlags},
            {"Label4", Kind::Label, kOnWindow, 7440, 1200, 1455, 375, "Controller", 13.5, kRed, kBlack, 5, NoFlags},
            {"Picture2", Kind::PictureBox, kOnWindow, 3360, 1680, 3855, 3375, nullptr, 0, kNoColour, kNoColour, 6, NoFlags},
            {"Label2", Kind::Label, kOnWindow, 3240, 5160, 4215, 255,
             "Double Click ROM To Run. Press ALT + Q To Quit Game.", 0, kRed, kBlack, 7, NoFlags},
            {"SSTab1", Kind::TabControl, kOnWindow, 120, 1680, 3135, 3615, "Dir1|Dir2|Dir3", 0, kNoColour,
             kNoColour, 8, NoFlags},
            {"File1", Kind::FileList, 0, 120, 360, 2895, 2820, "*.nes", 0, kNoColour, kNoColour, 9, NoFlags},
            {"File2", Kind::FileList, 1, 120, 360, 2895, 2820, "*.nes", 0, kNoColour, kNoColour, 10, NoFlags},
            {"File3", Kind::FileList, 2, 120, 360, 2895, 2820, "*.nes", 0, kNoColour, kNoColour, 11, NoFlags},
            {"Label3", Kind::Label, 0, 240, 3240, 2655, 255, "", 0, kNoColour, kNoColour, 12, NoFlags},
            {"Label5", Kind::Label, 1, 240, 3240, 2655, 255, "", 0, kNoColour, kNoColour, 13, NoFlags},
            {"Label6", Kind::Label, 2, 240, 3240, 2655, 255, "", 0, kNoColour, kNoColour, 14, NoFlags},
        },
        {
            {"Line1", 3240, 0, 3240, 8040},
            {"Line2", 3240, 1440, 9240, 1440},
        }};
    return def;
}

const FormDef &romFoldersDialogDef()
{
    static const FormDef def{"Directories", "Directories", 4500, 2250, Border::FixedSingle, false, false, kNoColour,
        {
            {"Label1", Kind::Label, kOnWindow, 120, 240, 1455, 255, "Roms Folder 1", 9.75, kNoColour, kNoColour, 0, NoFlags},
            {"Text1", Kind::TextField, kOnWindow, 1920, 150, 1935, 345, "", 0, kNoColour, kNoColour, 1, NoFlags},
            {"Command1", Kind::CommandButton, kOnWindow, 3960, 240, 375, 255, "...", 0, kNoColour, kNoColour, 2, NoFlags},
            {"Command2", Kind::CommandButton, kOnWindow, 120, 1800, 1095, 375, "Save", 0, kNoColour, kNoColour, 3, NoFlags},
            {"Label2", Kind::Label, kOnWindow, 120, 720, 1455, 255, "Roms Folder 2", 9.75, kNoColour, kNoColour, 4, NoFlags},
            {"Text2", Kind::TextField, kOnWindow, 1920, 600, 1935, 375, "", 0, kNoColour, kNoColour, 5, NoFlags},
            {"Command3", Kind::CommandButton, kOnWindow, 3960, 720, 375, 255, "...", 0, kNoColour, kNoColour, 6, NoFlags},
            {"Label3", Kind::Label, kOnWindow, 120, 1200, 1455, 255, "Roms Folder 3", 9.75, kNoColour, kNoColour, 7, NoFlags},
            {"Text3", Kind::TextField, kOnWindow, 1920, 1080, 1935, 375, "", 0, kNoColour, kNoColour, 8, NoFlags},
            {"Command4", Kind::CommandButton, kOnWindow, 3960, 1200, 375, 255, "...", 0, kNoColour, kNoColour, 9, NoFlags},
        },
        {
            {"Line1", 0, 1680, 4680, 1680},
        }};
    return def;
}

const FormDef &pickerDef(const char *formName)
{
    static const FormDef form3 = makePicker("Form3", 2925, 3735, Border::FixedSingle, false, 0, 1, 2);
    static const FormDef directories2 = makePicker("Directories2", 2895, 3705, Border::Sizable, true, 0, 2, 1);
    static const FormDef form4 = makePicker("Form4", 2895, 3705, Border::FixedSingle, false, 0, 1, 2);
    if (std::strcmp(formName, "Directories2") == 0)
        return directories2;
    if (std::strcmp(formName, "Form4") == 0)
        return form4;
    return form3;
}

const FormDef &aboutBoxDef()
{
    static const FormDef def{"Form2", "About", 4455, 3705, Border::FixedSingle, false, false, kNoColour,
        {
            {"Image1", Kind::Image, kOnWindow, 240, 120, 480, 480, nullptr, 0, kNoColour, kNoColour, kNoTabStop, NoFlags},
            {"Label3", Kind::Label, kOnWindow, 960, 120, 1695, 495, "Quorvane", 18, kRed, kNoColour, 3, NoFlags},
            {"Label4", Kind::Label, kOnWindow, 2280, 480, 855, 495, "v1.0b", 13.5, kBlue, kNoColour, 4, NoFlags},
            {"Label1", Kind::Label, kOnWindow, 120, 960, 4215, 1095, kDescription, 0, kNoColour, kNoColour, 0, WordWrap},
            {"Label2", Kind::Label, kOnWindow, 120, 2040, 3975, 615,
             "Written in C++ with the Qt toolkit by the Quorvane project.", 0, kNoColour, kNoColour, 1, WordWrap},
            {"Command1", Kind::CommandButton, kOnWindow, 1200, 2760, 1695, 375, "&OK", 0, kNoColour, kNoColour, 2, NoFlags},
            {"Label6", Kind::Label, kOnWindow, 480, 3240, 3495, 255, "Help: see readme.txt (Help > Readme)", 8.25, kBlue,
             kNoColour, 6, Underline},
            {"Label5", Kind::Label, kOnWindow, 480, 3480, 3255, 255, "Freeware, without any warranty.", 0,
             kNoColour, kNoColour, 5, NoFlags},
        },
        {}};
    return def;
}

std::vector<const FormDef *> allFormDefs()
{
    return {&mainWindowDef(), &romFoldersDialogDef(), &pickerDef("Form3"), &pickerDef("Directories2"),
            &pickerDef("Form4"), &aboutBoxDef()};
}

} // namespace forms
