#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace dialogs {

// Shows the user one message about a failure: title and text, over parent. Injected into the
// windows so that tests can record the messages instead of showing them.
using Notifier = std::function<void(QWidget *parent, const QString &title, const QString &text)>;
void showMessage(QWidget *parent, const QString &title, const QString &text);

} // namespace dialogs
