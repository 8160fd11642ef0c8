#pragma once
// The one runner of the jobs that walk over a whole instrument step by step (the copy
// manager's copy and load runs, cloning, virtual data files). Everything runs on the GUI
// thread: between steps the runner lets pending events through, so the window repaints and
// its Cancel button and close box are heard, and the job looks at its cancel flag at the
// points it chooses. An event pass (timers, input, paints) is made at the first yield, at
// the first after a new action text, and otherwise whenever ~16 ms have passed since the
// last one began; the widgets repaint at most every ~40 ms of those passes. Calls queued
// to the runner are delivered at every yield.
//
// What it gives a job:
//   - the cancel flag: cancel() sets it (a Cancel button, a refused close request, Cancel to
//     a question); cancelled() reads it; clearCancel() starts afresh. The flag may live
//     outside the runner (a clone run shares one flag over several target windows).
//   - step texts: stepText("creating ", "DATA", 1, 3) == "creating DATA   1/3"
//     (three blanks before the number); beginStep() shows it (stepChanged) with the
//     progress (progressChanged) and yields.
//   - yield(): lets pending events through and answers whether the job may go on.
//   - askContinue(failure): after a failed step asks failure + ".  Do you want to continue?"
//     (title "Error", OK and Cancel) through Prompts; Cancel sets the flag.
//   - runSteps(): the whole loop of one phase for jobs whose steps all look alike.
//
// A clone-style copy of the folders of one instrument, for instance:
//
//     WholeInstrumentJob job(&runCancelFlag);            // flag owned by the caller's run
//     connect(&job, &WholeInstrumentJob::actionChanged, lblAction, &QLabel::setText);
//     connect(&job, &WholeInstrumentJob::stepChanged, lblDetail, &QLabel::setText);
//     connect(btnCancel, &QPushButton::clicked, &job, &WholeInstrumentJob::cancel);
//     job.setAction("creating folders...");
//     const bool finished = job.runSteps(
//         "creating ", folders.size(),
//         [&](int i) { return folders[i].foldername; },
//         [&](int i) {
//             const bool made = MakeDeviceFolder(...folders[i]...);
//             if (job.cancelled())
//                 return false;                             // stop at once
//             return made || job.askContinue("There was an error making folder "
//                                            + folders[i].foldername, PromptIcon::Error);
//         });
//     // finished == false: cancelled (by the user or by Cancel to a question)
//
// A job with several check points in one step (fetch, then load) calls beginStep() itself,
// then yield() between its actions, and askContinue() after each failure.

#include "common/Prompts.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>

namespace duvo {

class WholeInstrumentJob : public QObject {
    Q_OBJECT
public:
    // cancelFlag: a flag owned by the caller, which outlives the runner; nullptr: the
    // runner's own flag.
    explicit WholeInstrumentJob(bool *cancelFlag = nullptr, QObject *parent = nullptr);

    bool cancelled() const { return *FFlag; }
    void clearCancel() { *FFlag = false; }
    // A job begins on a window that is on screen: the cancel flag starts afresh, and the window
    // counts as painted now, so what the start changes (a Cancel button, disabled panes) shows
    // within the repaint interval like any later change instead of at the first yield, and
    // that yield makes an event pass.
    void begin();

    // verb + name + "   " + number + "/" + total.
    static QString stepText(const QString &verb, const QString &name, int number, int total);
    // failure + ".  Do you want to continue?"
    static QString continueQuestion(const QString &failure);

    // Shows an action text (what the job does now) through actionChanged; the next yield
    // then makes an event pass whatever the time since the last one.
    void setAction(const QString &text);
    // Shows the step text and the progress, then yields; false when the job must stop.
    bool beginStep(const QString &verb, const QString &name, int number, int total);
    // Lets pending events through (clicks and timers at most every ~16 ms, repaints at most
    // every ~40 ms, queued calls to the runner always); false when the job must stop.
    bool yield();
    // After a failed step: asks whether to go on (OK) or stop (Cancel, which sets the flag).
    // True means go on.
    bool askContinue(const QString &failure, PromptIcon icon = PromptIcon::Error,
                     const QString &title = QStringLiteral("Error"));

    // Runs steps 1..total. Before each: beginStep(verb, nameOf(index), index + 1, total),
    // stopping when cancelled. step(index) returns false to stop; after it the flag is
    // checked again. True when every step ran; false when the job stopped early.
    bool runSteps(const QString &verb, int total, const std::function<QString(int)> &nameOf,
                  const std::function<bool(int)> &step);

    // The number of the step running (1-based; 0 before the first) and the total.
    int stepNumber() const { return FStep; }
    int stepTotal() const { return FTotal; }

public slots:
    // Sets the cancel flag; the job stops at its next check. Also emits cancelRequested.
    void cancel();

signals:
    void actionChanged(const QString &text);
    void stepChanged(const QString &text);
    void progressChanged(int number, int total);
    void cancelRequested();

private:
    bool FOwnFlag = false;
    bool *FFlag;
    int FStep = 0;
    int FTotal = 0;
    QElapsedTimer FLastPass;     // since the last event pass began; invalid before the first
    QElapsedTimer FLastRepaint;  // since a pass last let a widget repaint
};

} // namespace duvo
