#include "forms/controls.h"

#include "forms/formbuilder.h"
#include "forms/twips.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPainter>
#include <QApplication>
#include <QScreen>
#include <QTimer>

namespace forms {

FormSurface::FormSurface(const FormDef &def, QWidget *parent) : QWidget(parent), m_def(def)
{
    setObjectName(QStringLiteral("surface"));
    if (def.border == Border::Sizable) {
        setMinimumSize(def.pixelSize());
        resize(def.pixelSize());
    } else {
        setFixedSize(def.pixelSize());
    }
    if (def.background != kNoColour) {
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor::fromRgb(QRgb(def.background)));
        setPalette(p);
        setAutoFillBackground(true);
    }
}

void FormSurface::paintEvent(QPaintEvent *)
{
    // Lines lie on the window surface beneath the controls; the widget clips them at its edge.
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Mid), 1));
    for (const LineDef &line : m_def.lines) {
        const QRect grown = grownRect(QRect(twipsPoint(line.x1, line.y1), twipsPoint(line.x2, line.y2)), line.growth, growth());
        painter.drawLine(grown.topLeft(), grown.bottomRight());
    }
}

QSize FormSurface::growth() const { return (size() - m_def.pixelSize()).expandedTo(QSize(0, 0)); }

void FormSurface::place(QWidget *control, const QRect &rect, const Growth &growth)
{
    control->setParent(this);
    control->setGeometry(grownRect(rect, growth, this->growth()));
    m_placements.push_back({control, rect, growth});
}

void FormSurface::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    for (const Placement &p : m_placements)
        p.control->setGeometry(grownRect(p.rect, p.growth, growth()));
}

int OptionList::selectedIndex() const
{
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.front().row();
}

void CheckBox::nextCheckState()
{
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

PictureBox::PictureBox(bool flat, QWidget *parent) : QFrame(parent)
{
    setFrameStyle(flat ? (QFrame::Box | QFrame::Plain) : (QFrame::StyledPanel | QFrame::Sunken));
    setLineWidth(1);
    setAutoFillBackground(true);
}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.drawImage(area.topLeft(), m_picture);
}

QSize TabStrip::tabSizeHint(int index) const
{
    QSize size = QTabBar::tabSizeHint(index);
    size.setHeight(twipsToPixels(295)); // the tab strip's height, 520 HIMETRIC
    if (const QWidget *control = parentWidget(); control && count() > 0)
        size.setWidth((control->width() - 2) / count());
    return size;
}

TabControl::TabControl(const QStringList &captions, const QFont &font, QWidget *parent) : QTabWidget(parent)
{
    // The font comes first: else the strip would load the system's font to measure the captions
    // in, a font the form never shows.
    setFont(font);
    auto *strip = new TabStrip(this);
    strip->setFont(font);
    setTabBar(strip);
    for (const QString &caption : captions)
        addTab(new QWidget(this), caption);
    // The tab strip takes the focus in the control's place in the tab order. The control itself
    // stays out of the focus chain: else Tab from the last list on its pages would land on the
    // strip again, and never reach the controls before it. Qt hands a policy on to the focus
    // proxy, the strip, which is given its own again.
    setFocusPolicy(Qt::NoFocus);
    strip->setFocusPolicy(Qt::TabFocus);
}

void TabControl::placeOnTab(int page, QWidget *child, const QRect &rect, const Growth &growth)
{
    child->setParent(widget(page));
    m_placements.push_back({page, child, rect, growth});
    relayout();
}

void TabControl::resizeEvent(QResizeEvent *event)
{
    QTabWidget::resizeEvent(event);
    relayout();
}

void TabControl::showEvent(QShowEvent *event)
{
    QTabWidget::showEvent(event);
    relayout();
}

void TabControl::relayout()
{
    const QSize growth = m_tableSize.isValid() ? (size() - m_tableSize).expandedTo(QSize(0, 0)) : QSize(0, 0);
    for (const Placement &p : m_placements) {
        const QPoint pageOrigin = widget(p.page)->mapTo(this, QPoint(0, 0));
        p.child->setGeometry(grownRect(p.rect, p.growth, growth).translated(-pageOrigin));
    }
}

FormDialog::FormDialog(QWidget *parent) : QDialog(parent) {}

namespace {

QMargins frameMargins(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return QMargins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                    frame.bottom() - client.bottom());
}

void placeCentred(QWidget *window, const QMargins &frame)
{
    const QScreen *screen = window->parentWidget() ? window->parentWidget()->screen() : window->screen();
    if (!screen)
        return;
    QRect area(QPoint(), window->size().grownBy(frame));
    area.moveCenter(screen->availableGeometry().center());
    window->move(area.topLeft()); // a window's position is its frame's
}

// Centres its window once more when the window manager has framed it, then goes.
class CentreWhenFramed : public QObject
{
public:
    CentreWhenFramed(QWidget *window, const QMargins &assumed) : QObject(window), m_window(window), m_assumed(assumed)
    {
        window->installEventFilter(this);
        QTimer::singleShot(3000, this, &QObject::deleteLater); // no window manager: no frame comes
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_window && (m_window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
            deleteLater(); // it fills the screen: nothing to centre, and a move would end that
            return false;
        }
        if (watched == m_window && (event->type() == QEvent::Move || event->type() == QEvent::Resize)
            && m_window->isVisible()) {
            const QMargins frame = frameMargins(m_window);
            if (!frame.isNull()) {
                if (frame != m_assumed)
                    placeCentred(m_window, frame);
                m_window->removeEventFilter(this);
                deleteLater();
            }
        }
        return false;
    }

private:
    QWidget *m_window;
    QMargins m_assumed;
};

} // namespace

void centreOnScreen(QWidget *window)
{
    QMargins frame = window->isVisible() ? frameMargins(window) : QMargins();
    if (frame.isNull()) { // not framed yet: a window on screen tells what frame to expect
        for (const QWidget *other : QApplication::topLevelWidgets()) {
            if (other != window && other->isVisible() && !frameMargins(other).isNull()) {
                frame = frameMargins(other);
                break;
            }
        }
        new CentreWhenFramed(window, frame);
    }
    placeCentred(window, frame);
}

void FormDialog::centreOnScreen() { forms::centreOnScreen(this); }

void FormDialog::keyPressEvent(QKeyEvent *event)
{
    // No cancel and no default button: Escape does nothing, and Enter presses only the button that
    // has the focus, as on Windows; on a text field or a list it does nothing.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto *button = qobject_cast<QAbstractButton *>(focusWidget()); button && event->modifiers() == Qt::NoModifier)
            button->click();
        event->accept();
        return;
    case Qt::Key_Escape:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace forms
