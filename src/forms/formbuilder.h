#pragma once

#include "forms/formdefs.h"

#include <QFont>
#include <QIcon>
#include <QImage>
#include <QWidget>

namespace forms {

class FormSurface;

// The forms' own font, built into the program: Liberation Sans, whose metrics keep every caption
// inside its control on any system. Sized in pixels at 96 dots per inch, like the geometry.
QFont formFont(double points);
// The fixed-pitch font of the same kind, Liberation Mono, for text shown as it is laid out.
QFont fixedFont(double points);

// The application icon (32 x 32 and 16 x 16) and the main window's banner (300 x 80).
QIcon applicationIcon();
QImage bannerImage();

// Gives window the form's caption, icon, font, frame and size, creates every control of def on
// a new surface (the controls' parent) with its name, place, caption, font and colours, and
// chains the tab order. The window must be a QDialog or a QMainWindow; for a main window the
// caller makes the surface its central widget.
FormSurface *buildForm(QWidget *window, const FormDef &def);

} // namespace forms
