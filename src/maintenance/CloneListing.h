#pragma once
// The folders (with their passwords) and protocol files of a whole instrument, as the clone
// and the virtual data file writer list them. A secure folder is listed by the instrument as
// "NAME!"; the mark is cut off here, so commands, the display and stored rows carry "NAME".
// Every name is checked (InstrumentNames.h): a listing holding a name that is not a plain
// instrument name fails like a reply that cannot be read.
//
//     CloneFolderList folders; CloneFileList files; std::vector<std::string> names;
//     int folderCount = 0, fileCount = 0;
//     ListCloneFolders(client, ip, folderCount, names, folders);
//     if (folderCount > 0) for (auto &n : names) ListCloneFiles(client, ip, n, fileCount, files);

#include "link/NetExchange.h"

#include <cstdint>
#include <string>
#include <vector>

struct VLCLONEFOLDERS_T {
    std::string foldername;  // without the secure mark
    std::string password;    // whole, as the instrument gave it; empty: none
    int16_t secure = 0;      // 1 when the password is not empty
};

struct VLCLONEFILES_T {
    std::string foldername;  // the folder it was listed under
    std::string filename;
};

using CloneFolderList = std::vector<VLCLONEFOLDERS_T>;
using CloneFileList = std::vector<VLCLONEFILES_T>;

namespace duvo {

// Lists the folders of the instrument into folders and their names into names; count becomes
// the number of folders in the reply, or -1 after any failure (the folders listed before a
// failed password read stay). Failures show their boxes. Returns count.
int ListCloneFolders(TcpClient &client, const std::string &ip, int &count, std::vector<std::string> &names,
                     CloneFolderList &folders);
// Appends the protocol files of one folder; count becomes their number, or -1 on failure.
int ListCloneFiles(TcpClient &client, const std::string &ip, const std::string &folder, int &count,
                   CloneFileList &files);

// The whole listing of a source: folders, then the files of every folder (one folder's failure
// does not stop the others); between folders pump() runs (pending window messages). The
// counts become the sizes of the lists. Returns false when the folder listing failed.
struct CloneListing {
    CloneFolderList folders;
    CloneFileList files;
    int folderCount = 0;
    int fileCount = 0;
};
template <typename Pump>
bool ListWholeInstrument(TcpClient &client, const std::string &ip, CloneListing &out, Pump &&pump)
{
    out = CloneListing();
    std::vector<std::string> names;
    int folderCount = 0;
    ListCloneFolders(client, ip, folderCount, names, out.folders);
    if (folderCount > 0) {
        for (const std::string &name : names) {
            pump();
            if (client.aborted())
                break;
            int n = 0;
            ListCloneFiles(client, ip, name, n, out.files);
        }
    }
    out.folderCount = static_cast<int>(out.folders.size());
    out.fileCount = static_cast<int>(out.files.size());
    return folderCount >= 0;
}

} // namespace duvo
