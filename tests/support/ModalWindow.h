#pragma once
// Acting on a modal window that the code under test opens with exec(): arm the watch first,
// then run the code. The watch polls every 10 ms for the next visible modal window of the
// class that was not there when it was armed and runs the action on it (from a timer, so the
// action may click, type and even open further modal windows).
//
// The wait is bounded: when no such window came within timeoutMs, or the window is still open
// timeoutMs after the action ran, the watch closes it (reject) and fails the running test.
//
//     auto watch = duvo::test::onNextModal<TPWForm>([](TPWForm *f) {
//         QTest::keyClicks(f->edtPW1, "ab12");
//         QTest::mouseClick(f->btnOk, Qt::LeftButton);
//     });
//     ops.CheckFolderPassword(ip, "DATA");
//     QVERIFY(watch->acted());

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <set>

namespace duvo::test {

class ModalWatch : public QObject {
public:
    using Matcher = std::function<QWidget *(const std::set<QWidget *> &seenBefore)>;

    ModalWatch(Matcher match, std::function<void(QWidget *)> action, int timeoutMs)
        : FMatch(std::move(match)), FAction(std::move(action)), FTimeoutMs(timeoutMs), FDeadline(timeoutMs)
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                FBefore.insert(w);
        FTimer.setInterval(10);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] { poll(); });
        FTimer.start();
    }
    ~ModalWatch() override { FTimer.stop(); }

    // The action ran on a window of the class.
    bool acted() const { return FActed; }
    // The window was closed by the watch after its time ran out (and the test failed).
    bool timedOut() const { return FTimedOut; }
    // Runs the event loop until the watch has finished (acted and the window closed, or
    // timed out); false on time-out.
    bool wait()
    {
        while (FTimer.isActive())
            QTest::qWait(10);
        return !FTimedOut;
    }

private:
    void poll()
    {
        if (!FWindow) {
            if (FActed) {
                // The action closed the window: done.
                FTimer.stop();
                return;
            }
            QWidget *w = FMatch(FBefore);
            if (w) {
                FWindow = w;
                FActed = true;
                FDeadline = QDeadlineTimer(FTimeoutMs);
                FTimer.stop();   // the action may open nested loops; no second run meanwhile
                FAction(w);
                FTimer.start();
                return;
            }
            if (FDeadline.hasExpired()) {
                FTimer.stop();
                FTimedOut = true;
                QTest::qFail("no modal window of the expected class appeared in time", __FILE__, __LINE__);
            }
            return;
        }
        if (!FWindow->isVisible()) {
            FTimer.stop();
            return;
        }
        if (FDeadline.hasExpired()) {
            FTimer.stop();
            FTimedOut = true;
            if (auto *dialog = qobject_cast<QDialog *>(FWindow.data()))
                dialog->reject();
            else
                FWindow->close();
            QTest::qFail("the modal window was still open when the watch's time ran out", __FILE__, __LINE__);
        }
    }

    Matcher FMatch;
    std::function<void(QWidget *)> FAction;
    int FTimeoutMs;
    QDeadlineTimer FDeadline;
    QTimer FTimer;
    std::set<QWidget *> FBefore;
    QPointer<QWidget> FWindow;
    bool FActed = false;
    bool FTimedOut = false;
};

// Runs action on the next modal window of class T (see above).
template <typename T>
std::unique_ptr<ModalWatch> onNextModal(std::function<void(T *)> action, int timeoutMs = 5000)
{
    auto match = [](const std::set<QWidget *> &before) -> QWidget * {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            T *t = qobject_cast<T *>(w);
            if (t && w->isVisible() && w->isModal() && !before.count(w))
                return w;
        }
        return nullptr;
    };
    return std::make_unique<ModalWatch>(match, [action](QWidget *w) { action(static_cast<T *>(w)); }, timeoutMs);
}

// Runs the call; a modal window that comes up is recorded by its object name and closed.
// The watch ends 10 s after the call began.
inline QStringList modalWindowsDuring(const std::function<void()> &call)
{
    QStringList seen;
    QTimer poll;
    poll.setInterval(10);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget *w = QApplication::activeModalWidget()) {
            seen << w->objectName();
            w->close();
        } else if (clock.elapsed() > 10000) {
            poll.stop();
        }
    });
    poll.start();
    call();
    return seen;
}

} // namespace duvo::test
