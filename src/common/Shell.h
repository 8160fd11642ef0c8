#pragma once
// Starting documents and programs: "open" of a document or web page, start of a program.
// The real shell lives with the windows; tests install a recorder.

#include <QString>
#include <QStringList>

namespace duvo {

class Shell {
public:
    virtual ~Shell() = default;
    // Opens a document or web page with the desktop's handler. False when it fails.
    virtual bool openDocument(const QString &target) = 0;
    // Starts a program detached, in the given working folder. False when it fails.
    virtual bool startProgram(const QString &program, const QStringList &arguments,
                              const QString &workingFolder) = 0;

    static Shell &instance();
    static Shell *install(Shell *shell);  // returns the previous one
};

// Starts programs with QProcess::startDetached; opening documents needs the GUI shell.
class ProcessShell : public Shell {
public:
    bool openDocument(const QString &target) override;
    bool startProgram(const QString &program, const QStringList &arguments,
                      const QString &workingFolder) override;
};

} // namespace duvo
