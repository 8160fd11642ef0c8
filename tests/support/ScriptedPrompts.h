#pragma once
// A prompt service for tests: records every box (kind, title, text, buttons, ...) and returns
// the answers the test planned, in order. A box nobody planned fails the running test at once
// and is answered with Cancel/No, so no test ever waits on a modal box.

#include "common/Prompts.h"

#include <QList>
#include <atomic>
#include <functional>

namespace duvo::test {

struct PlannedAnswer {
    PromptAnswer answer;
    QString expectTitle;    // checked when not empty
    QString expectContains; // checked against text/instruction when not empty
};

class ScriptedPrompts final : public Prompts {
public:
    ScriptedPrompts();
    ~ScriptedPrompts() override;

    PromptAnswer ask(const PromptRequest &request) override;

    // Plans the answer to the next box.
    ScriptedPrompts &answer(int button, const QString &expectContains = {}, const QString &expectTitle = {});
    ScriptedPrompts &answerRadio(int button, int radio, const QString &expectContains = {});
    // Plans the path of the next file or folder dialog (empty: the user cancels).
    ScriptedPrompts &answerPath(const QString &path);
    // Plans the text of the next input box (nullopt: the user cancels).
    ScriptedPrompts &answerInput(const std::optional<QString> &text);
    // Answers every box that nobody planned with its first "no" instead of failing the test.
    void setLenient(bool on) { FLenient = on; }

    const QList<PromptRequest> &asked() const { return FAsked; }
    int pending() const { return static_cast<int>(FPlan.size()); }
    // Boxes asked from a thread other than the GUI thread (a fault in the window that did it).
    int offThreadAsks() const { return FOffThread.load(); }
    // Texts of every box asked so far (message text, or task content), in order.
    QStringList texts() const;
    QStringList titles() const;
    void clear();

private:
    QList<PlannedAnswer> FPlan;
    QList<PromptRequest> FAsked;
    bool FLenient = false;
    std::atomic<int> FOffThread{0};
    Prompts *FPrevious = nullptr;
};

} // namespace duvo::test
