#pragma once
// What a whole-instrument job (clone copy, virtual data file writing and loading) needs of
// the window it runs in: the action and step lines, the processing of pending messages
// between steps, and what the window's Cancel button does when an error question is answered
// Cancel. The job itself reads the cancel flag it was given by reference.

#include <QCoreApplication>
#include <QString>

namespace duvo {

class JobView {
public:
    virtual ~JobView() = default;
    virtual void setAction(const QString &text) { (void)text; }
    virtual void setDetail(const QString &text) { (void)text; }
    virtual void processMessages() { QCoreApplication::processEvents(); }
    // The window's Cancel button; the default only raises the flag.
    virtual void pressCancel(char &cancel) { cancel = 1; }
};

// "creating DATA   3/12": the step line of the jobs (three blanks before the count).
inline QString StepText(const char *verb, const std::string &name, int index, int total)
{
    return QString::fromLatin1(verb) + QLatin1Char(' ') + QString::fromStdString(name) + QStringLiteral("   ")
           + QString::number(index) + QLatin1Char('/') + QString::number(total);
}

} // namespace duvo
