#include "ScriptedPrompts.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

namespace duvo::test {

ScriptedPrompts::ScriptedPrompts()
{
    FPrevious = Prompts::install(this);
}

ScriptedPrompts::~ScriptedPrompts()
{
    Prompts::install(FPrevious);
}

static QString describe(const PromptRequest &r)
{
    return QStringLiteral("[title \"%1\"] [instruction \"%2\"] [text \"%3\"]").arg(r.title, r.instruction, r.text);
}

PromptAnswer ScriptedPrompts::ask(const PromptRequest &request)
{
    // A box belongs to the GUI thread; one asked from a worker is counted (a test checks it:
    // failing the test from that thread is not safe).
    if (QCoreApplication::instance() && QThread::currentThread() != QCoreApplication::instance()->thread())
        ++FOffThread;
    FAsked << request;
    if (FPlan.isEmpty()) {
        if (!FLenient)
            QTest::qFail(qPrintable(QStringLiteral("A box nobody planned: ") + describe(request)),
                         __FILE__, __LINE__);
        PromptAnswer a;
        a.button = (request.buttons & No) ? No : (request.buttons & Cancel) ? Cancel : Ok;
        return a;
    }
    const PlannedAnswer p = FPlan.takeFirst();
    if (!p.expectTitle.isEmpty() && request.title != p.expectTitle)
        QTest::qFail(qPrintable(QStringLiteral("Box title \"%1\" where \"%2\" was planned: %3")
                                    .arg(request.title, p.expectTitle, describe(request))),
                     __FILE__, __LINE__);
    if (!p.expectContains.isEmpty() && !request.text.contains(p.expectContains)
        && !request.instruction.contains(p.expectContains))
        QTest::qFail(qPrintable(QStringLiteral("Box without \"%1\": %2").arg(p.expectContains, describe(request))),
                     __FILE__, __LINE__);
    return p.answer;
}

ScriptedPrompts &ScriptedPrompts::answer(int button, const QString &expectContains, const QString &expectTitle)
{
    PlannedAnswer p;
    p.answer.button = button;
    p.expectContains = expectContains;
    p.expectTitle = expectTitle;
    FPlan << p;
    return *this;
}

ScriptedPrompts &ScriptedPrompts::answerRadio(int button, int radio, const QString &expectContains)
{
    PlannedAnswer p;
    p.answer.button = button;
    p.answer.radio = radio;
    p.expectContains = expectContains;
    FPlan << p;
    return *this;
}

ScriptedPrompts &ScriptedPrompts::answerPath(const QString &path)
{
    PlannedAnswer p;
    p.answer.button = path.isEmpty() ? Cancel : Ok;
    p.answer.value = path;
    FPlan << p;
    return *this;
}

ScriptedPrompts &ScriptedPrompts::answerInput(const std::optional<QString> &text)
{
    PlannedAnswer p;
    p.answer.button = text ? Ok : Cancel;
    p.answer.value = text.value_or(QString());
    FPlan << p;
    return *this;
}

QStringList ScriptedPrompts::texts() const
{
    QStringList out;
    for (const PromptRequest &r : FAsked)
        out << r.text;
    return out;
}

QStringList ScriptedPrompts::titles() const
{
    QStringList out;
    for (const PromptRequest &r : FAsked)
        out << r.title;
    return out;
}

void ScriptedPrompts::clear()
{
    FPlan.clear();
    FAsked.clear();
}

} // namespace duvo::test
