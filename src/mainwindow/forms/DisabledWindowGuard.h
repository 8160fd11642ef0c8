#pragma once
// Keeps a window's contents disabled for the length of a scope and enables them again when the
// scope ends, also by an exception, so the user cannot start a second command while a modal
// window of the first one is open. The window itself stays enabled: a disabled widget would
// pass its state on to the dialogs created as its children, and they must stay usable. What
// was disabled before stays disabled; a window destroyed meanwhile is left alone.
//
//   DisabledWindowGuard disabled(this);
//   picker.exec();     // a dialog owned by this window works as usual
//   ...                // the ribbon and the list are enabled again when the handler returns

#include <QList>
#include <QPointer>
#include <QWidget>

class DisabledWindowGuard {
public:
    explicit DisabledWindowGuard(QWidget *window);
    ~DisabledWindowGuard();
    DisabledWindowGuard(const DisabledWindowGuard &) = delete;
    DisabledWindowGuard &operator=(const DisabledWindowGuard &) = delete;

    // Whether a guard holds the window's contents disabled now.
    static bool isDisabled(const QWidget *window);

private:
    QPointer<QWidget> FWindow;
    QList<QPointer<QWidget>> FDisabled;  // the parts this guard switched off
};
