#include "protocols/forms/BrowseWindows.h"

#include <memory>

namespace duvo {

IpWindowFactory &LoadProtoDskFormFactory()
{
    static IpWindowFactory factory;
    return factory;
}

IpWindowFactory &CopyProtocolFormFactory()
{
    static IpWindowFactory factory;
    return factory;
}

DeviceProtocolEditorFactory &DeviceProtocolEditor()
{
    static DeviceProtocolEditorFactory factory;
    return factory;
}

void ShowDeviceProtocol(QWidget *owner, const std::string &protocolXml, const std::string &name,
                        const std::string &folder, const std::string &ip)
{
    if (!DeviceProtocolEditor())
        return;
    std::unique_ptr<QDialog> editor(DeviceProtocolEditor()(owner, QString::fromStdString(protocolXml),
                                                           QString::fromStdString(name),
                                                           QString::fromStdString(folder),
                                                           QString::fromStdString(ip)));
    if (editor)
        editor->exec();
}

} // namespace duvo
