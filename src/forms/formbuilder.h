#pragma once

#include "forms/formdefs.h"

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QWidget>

#include <array>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QMainWindow;
class QPushButton;

namespace forms {

class CheckBox;
class DirListBox;
class DriveListBox;
class FileListBox;
class FormSurface;
class OptionList;
class PictureBox;
class TabControl;

// The forms' own font, built into the program: Liberation Sans, whose metrics keep every caption
// inside its control on any system. Sized in pixels at 96 dots per inch, like the geometry.
QFont formFont(double points);
// The fixed-pitch font of the same kind, Liberation Mono, for text shown as it is laid out.
QFont fixedFont(double points);

// The application icon (32 x 32 and 16 x 16) and the main window's banner (300 x 80).
QIcon applicationIcon();
// The mark of a ROM file that is not sound, beside its name in a list.
QIcon warningIcon();
// The mark of a favourite game; with warned, the mark of a ROM not sound in its corner.
QIcon favouriteIcon(bool warned = false);
// Nothing, as large as a mark: holds its place in a row without one.
QIcon blankIcon();
QImage bannerImage();

// Each window is built from its table (formdefs.h): the window gets the form's name, caption,
// icon, font, frame and size; every control is made with its name, place, caption, font and
// colours, and the tab order is chained. What the code uses comes back as typed handles.

struct MainWindowForm {
    CheckBox *sound;
    OptionList *resolution;
    OptionList *controller;
    PictureBox *banner;
    PictureBox *snapshot;
    TabControl *romTabs;
    std::array<FileListBox *, 3> romLists; // by slot, 0..2
    std::array<QLabel *, 3> romCounts;
};
// The form becomes the window's central widget.
MainWindowForm buildMainWindowForm(QMainWindow *window);

struct RomFoldersForm {
    std::array<QLineEdit *, 3> folderFields; // by slot, 0..2
    std::array<QPushButton *, 3> browseButtons;
    QPushButton *save;
    std::array<QCheckBox *, 3> subfolders;
};
RomFoldersForm buildRomFoldersForm(QDialog *dialog);

struct PickerForm {
    DriveListBox *drives;
    DirListBox *folders;
    QPushButton *ok;
};
PickerForm buildPickerForm(QDialog *dialog, int slot); // slot 0..2

struct AboutForm {
    QPushButton *ok;
};
AboutForm buildAboutForm(QDialog *dialog);

struct RomInfoForm {
    std::array<QLabel *, kRomInfoRows.size()> values; // by row of kRomInfoRows
    QLabel *problems;
    QPushButton *copy;
    QPushButton *ok;
};
RomInfoForm buildRomInfoForm(QDialog *dialog);

struct EmulatorsForm {
    OptionList *emulators;
    QPushButton *makeDefault;
    QPushButton *remove;
    QLabel *nameCaption, *programCaption, *argumentsCaption, *listCaption;
    QLineEdit *name;
    QLineEdit *program;
    QPushButton *browse;
    QLineEdit *arguments;
    CheckBox *readsZip;
    CheckBox *reads7z;
    QPushButton *add;
    QPushButton *close;
};
EmulatorsForm buildEmulatorsForm(QDialog *dialog);

struct ProgramPickerForm {
    DriveListBox *drives;
    DirListBox *folders;
    OptionList *programs;
    QPushButton *ok;
};
ProgramPickerForm buildProgramPickerForm(QDialog *dialog);

} // namespace forms
