// The edge of every event handler: an error that escapes a handler is shown
// in an error box and the program goes on. Exceptions never cross the event
// loop; connections are made through Guarded() so this is the one place.
#pragma once

#include "ui/Dialogs.h"

#include <QAbstractButton>
#include <QString>
#include <QWidget>
#include <functional>

// The text of the error box: a full stop appended when the last character
// sorts above ".".
[[nodiscard]] QString ErrorBoxText(const QString &message);

// Runs fn; a PlotwiseError or std::exception it throws is reported through
// dialogs->error(parent, ErrorBoxText(...)), a PlotwiseError's details on
// lines of their own after a blank line. Returns false when fn threw.
bool RunGuarded(Dialogs *dialogs, QWidget *parent, const std::function<void()> &fn);

// A slot for connect() that runs fn under RunGuarded.
template <typename Fn>
auto Guarded(Dialogs *dialogs, QWidget *parent, Fn fn)
{
    return [dialogs, parent, fn]() { RunGuarded(dialogs, parent, fn); };
}

// Connects the button's click to the window's handler, run under the guard.
template <typename Window>
void ConnectClick(Dialogs *dialogs, Window *window, QAbstractButton *button,
                  void (Window::*handler)())
{
    QObject::connect(button, &QAbstractButton::clicked, window,
                     Guarded(dialogs, window, [window, handler] { (window->*handler)(); }));
}
