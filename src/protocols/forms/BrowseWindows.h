#pragma once
// The windows the navigator and the browser open that live in other parts of the program.
// Each is made through a factory that its own part fills at start-up; while a factory is
// empty, the button that opens its window stays disabled.
//
//   duvo::LoadProtoDskFormFactory() = [](QWidget *owner, const QString &ip) {
//       return new TLoadProtoDskForm(owner, ip);
//   };

#include <QDialog>
#include <QString>
#include <functional>

namespace duvo {

// A window opened for one instrument address (Owner, IP); the caller shows it modally and
// deletes it.
using IpWindowFactory = std::function<QDialog *(QWidget *owner, const QString &ip)>;

// The load-from-disk manager TLoadProtoDskForm (Owner, IP).
IpWindowFactory &LoadProtoDskFormFactory();
// The copy manager TCopyProtocolForm (Owner, IP).
IpWindowFactory &CopyProtocolFormFactory();

// The protocol editor on a protocol fetched from an instrument: TProtocolEditorForm (Owner,
// NewProtocol false, ProtocolXml, FromDevice true, no save file name, Name, Folder, IP).
using DeviceProtocolEditorFactory = std::function<QDialog *(QWidget *owner, const QString &protocolXml,
                                                            const QString &name, const QString &folder,
                                                            const QString &ip)>;
DeviceProtocolEditorFactory &DeviceProtocolEditor();

// Opens the editor on a fetched protocol, modally, and deletes it (nothing when the factory
// is empty).
void ShowDeviceProtocol(QWidget *owner, const std::string &protocolXml, const std::string &name,
                        const std::string &folder, const std::string &ip);

} // namespace duvo
