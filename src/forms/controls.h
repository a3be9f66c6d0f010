#pragma once
// Control kinds that Qt lacks in the shape the forms need.

#include "forms/formdefs.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QImage>
#include <QItemSelectionModel>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>


namespace forms {

// A single-selection list keeps one entry selected once one is, as a Windows list box does: the
// selection commands that would clear it (Ctrl+click or Ctrl+Space on the selected entry) do
// nothing instead.
inline QItemSelectionModel::SelectionFlags keepingSelection(QItemSelectionModel::SelectionFlags command)
{
    return command.testFlag(QItemSelectionModel::Deselect) ? QItemSelectionModel::NoUpdate : command;
}

// A list box of fixed items with one of them selected.
class OptionList : public QListWidget
{
    Q_OBJECT
public:
    using QListWidget::QListWidget;
    // The selected item's index, -1 when none is.
    int selectedIndex() const;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex &index,
                                                         const QEvent *event = nullptr) const override
    {
        return keepingSelection(QListWidget::selectionCommand(index, event));
    }
};

// The surface of a window: the controls' parent, painting the form's lines beneath them. A
// sizable form's surface is at least the table's size; grown past it, its controls and lines
// follow their growth.
class FormSurface : public QWidget
{
    Q_OBJECT
public:
    FormSurface(const FormDef &def, QWidget *parent);
    // Places control at rect (pixels) at the table's size, and where growth takes it past it.
    void place(QWidget *control, const QRect &rect, const Growth &growth);
    QSize sizeHint() const override { return m_def.pixelSize(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QSize growth() const;
    struct Placement {
        QWidget *control;
        QRect rect;
        Growth growth;
    };
    const FormDef &m_def;
    std::vector<Placement> m_placements;
};

// A check box that is clear, ticked or grayed (partly checked). Only code grays it; a click
// toggles between clear and ticked.
class CheckBox : public QCheckBox
{
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

protected:
    void nextCheckState() override;
};

// A picture box: shows its picture at the picture's own size from the top-left corner of its
// content area, cut at the edges; an empty picture leaves it blank.
class PictureBox : public QFrame
{
    Q_OBJECT
public:
    explicit PictureBox(bool flat, QWidget *parent = nullptr);
    void setPicture(const QImage &picture);
    const QImage &picture() const { return m_picture; }
    QSize visibleSize() const { return contentsRect().size(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};

// Tab strip of the tab control: one row, tabs sharing the control's width, fixed strip height.
class TabStrip : public QTabBar
{
    Q_OBJECT
public:
    using QTabBar::QTabBar;

protected:
    QSize tabSizeHint(int index) const override;
};

// The tab control: controls on a tab are placed relative to the control's own top-left corner,
// as the form definitions measure them, whatever room the toolkit's tab pane takes.
class TabControl : public QTabWidget
{
    Q_OBJECT
public:
    // Its strip measures the captions in font as they are added.
    TabControl(const QStringList &captions, const QFont &font, QWidget *parent = nullptr);
    // Places child at rect (pixels, relative to the tab control) on tab page, at the control's
    // table size; grown past it, as growth says.
    void placeOnTab(int page, QWidget *child, const QRect &rect, const Growth &growth = kStays);
    void setTableSize(const QSize &size) { m_tableSize = size; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void relayout();
    struct Placement {
        int page;
        QWidget *child;
        QRect rect;
        Growth growth;
    };
    std::vector<Placement> m_placements;
    QSize m_tableSize;
};

// Centres window, frame and all, on its screen (its parent's, for a dialog). A window manager's
// frame is known only once a window is on screen: until then the frame of a window already shown
// stands in for it, and the window is centred again as soon as its own frame is known.
void centreOnScreen(QWidget *window);

// Base of the dialogs: no default or cancel button, so Escape and Enter close nothing.
class FormDialog : public QDialog
{
    Q_OBJECT
public:
    explicit FormDialog(QWidget *parent); // its form is built by one of formbuilder.h's builders
    // Centres the window on the screen, as every window opens.
    void centreOnScreen();

protected:
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace forms
