#pragma once
// Keeps a window disabled for the length of a scope and enables it again when the scope ends,
// also by an exception, so the user cannot start a second command while a modal window of the
// first one is open. A window that was already disabled stays disabled; a window destroyed
// meanwhile is left alone.
//
//   DisabledWindowGuard disabled(this);
//   picker.exec();
//   ...                // enabled again when the handler returns or throws

#include <QPointer>
#include <QWidget>

class DisabledWindowGuard {
public:
    explicit DisabledWindowGuard(QWidget *window);
    ~DisabledWindowGuard();
    DisabledWindowGuard(const DisabledWindowGuard &) = delete;
    DisabledWindowGuard &operator=(const DisabledWindowGuard &) = delete;

private:
    QPointer<QWidget> FWindow;
    bool FWasEnabled = false;
};
