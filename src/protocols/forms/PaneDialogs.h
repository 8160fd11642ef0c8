#pragma once
// The dialogs the copy manager and the load-from-disk manager open from their panes: the
// device picker, the copy mode question, the new folder dialog, the save dialog of a protocol
// file, the protocol editor and the report viewer; and the writing of a fetched protocol into
// a protocol file.

#include "protocols/DeviceFileOperations.h"

#include <QString>
#include <functional>

class QWidget;

namespace duvo {
class TaskDialog;
}

// TDestinationForm in its form with an excluded index, with this caption; fills *outIndex
// and answers true only when it ends with OK.
bool PickDeviceWithDestinationForm(QWidget *owner, int *outIndex, int excludedIndex, const QString &caption);

// The copy mode question ("Copy Manager", "Skip same named files" preselected); false when it
// does not end with OK. skip: the first radio button was chosen.
bool AskCopyMode(duvo::TaskDialog &dialog, bool &skip);

// TFolderNameForm: the new folder's name (upper case, up to 7 characters) and password.
bool AskNewFolder(QWidget *owner, QString &name, QString &password);

// The save dialog of a protocol file ("Save", name + ".SVP" in the default folder); the
// chosen path with ".svp" added when it has no extension, or empty when cancelled.
QString AskProtocolSavePath(const QString &name);

// Writes the fetched protocol into a new protocol file at path (its File, Protocol and Size);
// false without touching the disk when no protocol is held. On success the fetched protocol
// is released.
bool SaveFetchedProtocol(duvo::FetchedProtocol &fetched, const QString &path);

// The protocol editor, owned by owner, shown modally and freed.
void ShowProtocolEditor(QWidget *owner, const QString &xml, bool fromDevice, const QString &saveFileName,
                        const QString &name, const QString &folder, const QString &ip);
// What ShowProtocolEditor runs (tests put a recorder in its place).
using ProtocolEditorOpener = std::function<void(QWidget *owner, const QString &xml, bool fromDevice,
                                                const QString &saveFileName, const QString &name,
                                                const QString &folder, const QString &ip)>;
ProtocolEditorOpener &ProtocolEditorOpening();

// The text viewer, read-only, owned by owner, shown modally and freed.
void ShowReportText(QWidget *owner, const QString &text);
