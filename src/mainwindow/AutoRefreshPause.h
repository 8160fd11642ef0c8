#pragma once
// Keeps the auto-refresh timer (DuvoTimer) off while a handler works with instruments or
// shows a window that does: switches the timer off when it is on, and back on when the scope
// ends (also by an exception) only if this scope was the one that switched it off. Nested
// scopes therefore leave the timer to the outermost one.
//
//   void DOzerAvirAded::btnCopyProtocolClick()
//   {
//       AutoRefreshPause pause(*this);
//       TCopyProtocolForm form(this, ip);
//       form.exec();
//   }   // DuvoTimer runs again here, unless it was off before the click

#include <QPointer>
#include <QTimer>

class Workstation;

class AutoRefreshPause {
public:
    // The workstation's DuvoTimer. It is not switched on again once the application is ending.
    explicit AutoRefreshPause(Workstation &workstation);
    // Any timer (for windows that keep a refresh timer of their own).
    explicit AutoRefreshPause(QTimer &timer);
    ~AutoRefreshPause();
    AutoRefreshPause(const AutoRefreshPause &) = delete;
    AutoRefreshPause &operator=(const AutoRefreshPause &) = delete;

    // True when this scope switched the timer off (and will switch it on again).
    bool switchedOff() const { return FSwitchedOff; }
    // Forgets the timer: it stays as it is when the scope ends.
    void release() { FSwitchedOff = false; }

private:
    QPointer<QTimer> FTimer;
    Workstation *FWorkstation = nullptr;
    bool FSwitchedOff = false;
};
