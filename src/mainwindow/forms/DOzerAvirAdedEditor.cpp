// The main window's protocol editor commands: "New Protocol" and "Edit Protocol".

#include "mainwindow/forms/DOzerAvirAded.h"

#include "protocols/forms/TProtocolEditorForm.h"

#include <memory>

// A new protocol: the editor builds the default protocol when it shows.
void DOzerAvirAded::btnNewProtocolClick()
{
    auto editor = std::make_unique<TProtocolEditorForm>(this, true, QString(), false, QString(), QString(),
                                                        QString(), QString());
    editor->exec();
}

// An empty editor with one default step; Open there reads a protocol file.
void DOzerAvirAded::btnEditProtocolClick()
{
    auto editor = std::make_unique<TProtocolEditorForm>(this, false, QString(), false, QString(), QString(),
                                                        QString(), QString());
    editor->exec();
}
