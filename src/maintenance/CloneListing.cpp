#include "maintenance/CloneListing.h"

#include "link/CommandDocs.h"
#include "link/NetCommand.h"
#include "maintenance/InstrumentNames.h"

namespace duvo {

int ListCloneFolders(TcpClient &client, const std::string &ip, int &count, std::vector<std::string> &names,
                     CloneFolderList &folders)
{
    const NetReply r = SendInstrumentCommand(client, ip, DirFolders_doc(), "DirFolders");
    if (!r.ok) {
        count = -1;
        return count;
    }
    FolderNameTable table;
    int n = 0;
    bool ok = false;
    DirFolders_Ret_Doc(r.text, table, n, ok);
    if (!ok) {
        count = -1;
        return count;
    }
    // A listing that names something no instrument folder can be called is not read at all.
    for (int i = 0; i < table.Count; ++i)
        if (!IsPlainFolderName(CutSecureMark(table.Names[static_cast<size_t>(i)]))) {
            count = -1;
            return count;
        }
    for (int i = 0; i < table.Count; ++i) {
        const std::string name = CutSecureMark(table.Names[static_cast<size_t>(i)]);
        const NetReply a = SendInstrumentCommand(client, ip, GetAttr_doc(name, "password"), "DirFolders GetAttr");
        if (!a.ok) {
            count = -1;
            return count;
        }
        VLCLONEFOLDERS_T folder;
        folder.foldername = name;
        bool valueOk = false;
        std::string password;
        GetAttr_Ret_Doc(a.text, password, valueOk);
        if (!valueOk)
            password.clear();  // a reply without a value: no password
        // The password is kept whole: a shortened one would change it on every target.
        folder.password = password;
        folder.secure = password.empty() ? 0 : 1;
        names.push_back(name);
        folders.push_back(std::move(folder));
    }
    count = n;
    return count;
}

int ListCloneFiles(TcpClient &client, const std::string &ip, const std::string &folder, int &count,
                   CloneFileList &files)
{
    const std::string name = CutSecureMark(folder);
    const NetReply r = SendInstrumentCommand(client, ip, DirFiles_doc(name), "DirFiles");
    if (!r.ok) {
        count = -1;
        return count;
    }
    FileNameTable table;
    int n = 0;
    bool ok = false;
    DirFiles_Ret_Doc(r.text, table, n, ok);
    if (!ok) {
        count = -1;
        return count;
    }
    for (int i = 0; i < table.Count; ++i)
        if (!IsPlainFileName(table.Names[static_cast<size_t>(i)])) {
            count = -1;
            return count;
        }
    for (int i = 0; i < table.Count; ++i)
        files.push_back({name, table.Names[static_cast<size_t>(i)]});
    count = n;
    return count;
}

} // namespace duvo
