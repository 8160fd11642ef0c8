#pragma once
// The folder and protocol file operations on an instrument, shared by every window that lists,
// fetches, loads or deletes protocols and makes, removes or protects folders. One object per
// window: it sends through that window's client and keeps that window's fetched protocol.
//
// Each operation sends its command with the one retry and the status check (NetCommand.h),
// shows its own error boxes through the prompt service and returns 1 for success, 0 for
// failure (the listings give a count, -1 on failure). Two rules live here and nowhere else:
//  - the reserved instrument names: for them an operation succeeds at once and sends nothing,
//    asks nothing and shows nothing;
//  - the password prompt of a secure folder, asked before a protocol or the folder is deleted.
//
//   DeviceFileOperations ops(FClient);
//   if (ops.FetchProtocol(fromIp, "/DATA", "PCR1") && ops.LoadProtocolToDevice(toIp, "DATA", "PCR1"))
//       ...

#include "link/NetExchange.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace duvo {

// ---- Names ------------------------------------------------------------------------------

// A folder text as the operations use it: everything up to and including the first "/" is
// dropped ("/DATA" -> "DATA", "A/B/C" -> "B/C"); the case is kept.
std::string NormalFolderName(const std::string &folder);
// The text with the letters a to z turned into upper case (other bytes unchanged).
std::string UpperName(const std::string &text);
// SYSTEM, SHARED and RECENT (an upper-cased name).
bool IsReservedFolder(const std::string &upperFolder);
// A normalised folder name that names one folder: not empty and without "/", "\" or "..".
// The operations that change an instrument or load to it refuse any other folder text as
// they skip a reserved name: nothing is sent, nothing is shown, but they return 0.
bool IsPlainFolderName(const std::string &normalFolder);
// VALIDAT, SERV1, SERV2, SERV3, CALIBR, BURNIN and LIFETES (an upper-cased name).
bool IsServiceProtocol(const std::string &upperFile);

// The password of a folder holds at most this many characters when made here.
constexpr int FolderPasswordLength = 4;
// New folder names hold at most this many characters.
constexpr int NewFolderNameLength = 7;

// The character rule of the name and password edits, run after each change: a text of one
// character keeps it only when it is "-", a digit or a letter A to Z (else the text becomes
// empty); a longer text keeps its last character only when it is a blank, "-", a digit or a
// letter A to Z (else that character is removed). Only the last character is tested.
QString NameEditChange(const QString &text);
// What such an edit holds after the characters of typed were typed one by one: letters turn
// into upper case, the rule above runs after each one, and typing stops at maxLength.
QString TypedNameText(const QString &typed, int maxLength);

// The index of the first item whose text, with its markup removed, equals name exactly
// (case included); -1 when none does.
int FindListItem(const QStringList &items, const QString &name);
// An item text without its markup: tags dropped, the entities &amp; &lt; &gt; &quot; &nbsp;
// turned back into their characters.
QString ListItemPlainText(const QString &itemText);

// ---- The fetched protocol -----------------------------------------------------------------

// The protocol a window holds after FetchProtocol (or that the load-from-disk manager put in
// it from a protocol file): LoadProtocolToDevice sends it and releases it.
struct FetchedProtocol {
    std::string Folder;   // the Folder of the GetProtocol reply, whole
    std::string File;     // the File of that reply, whole
    std::optional<std::string> Protocol;  // the protocol document; none when released
    int Size = 0;         // length of the whole GetProtocol reply

    bool held() const { return Protocol.has_value(); }
    // Drops the protocol and empties Folder and File.
    void release()
    {
        Protocol.reset();
        Folder.clear();
        File.clear();
    }
};

// ---- The operations -----------------------------------------------------------------------

// Which names a folder listing appends.
enum class FolderListing {
    AllFolders,
    WithoutRecent,  // the copy and disk managers leave RECENT out (the count still holds it)
};

class DeviceFileOperations {
public:
    explicit DeviceFileOperations(TcpClient &client) : FClient(client) {}
    DeviceFileOperations(const DeviceFileOperations &) = delete;
    DeviceFileOperations &operator=(const DeviceFileOperations &) = delete;

    TcpClient &client() { return FClient; }
    FetchedProtocol &fetchedProtocol() { return FFetched; }
    const FetchedProtocol &fetchedProtocol() const { return FFetched; }

    // Appends the folder names of the instrument in reply order ("!" marks a secure folder
    // and stays in the name); count is the number of names in the reply, -1 on failure.
    // Returns count.
    int ListDeviceFolders(const std::string &ip, int &count, std::vector<std::string> &list,
                          FolderListing listing = FolderListing::AllFolders);
    // The protocol files of a folder; the folder text goes out exactly as given.
    int ListDeviceFiles(const std::string &ip, const std::string &folder, int &count,
                        std::vector<std::string> &list);

    // Fetches a protocol into the window's FetchedProtocol (released on every failure).
    int FetchProtocol(const std::string &ip, const std::string &folder, const std::string &file);

    // Loads the window's fetched protocol as folder/file; the fetched protocol is released
    // once the command went out. A service protocol in SYSTEM and DEFAULT in SHARED count as
    // loaded without a command (and the fetched protocol stays held).
    int LoadProtocolToDevice(const std::string &ip, const std::string &folder, const std::string &file);
    // The protocol editor's load: the given document, no fetched protocol involved.
    int LoadProtocolToDevice(const std::string &ip, const std::string &folder, const std::string &file,
                             const std::string &protocol);
    // The clone copy's load: the fetched protocol to the same folder and file on the target;
    // anything in SYSTEM or RECENT and DEFAULT in SHARED count as loaded without a command.
    int LoadProtocolToDevice(const std::string &targetIp);
    // The virtual data file loader's load: folder, file and document as the file holds them;
    // anything in SYSTEM or RECENT and DEFAULT in SHARED count as loaded without a command.
    // size is the document's size as the file records it; the request holds the whole
    // document whatever it says.
    int LoadProtocolToDevice(const std::string &ip, const std::string &folder, const std::string &file,
                             const std::string &protocol, int size);

    // Deletes a protocol after the folder's password prompt; service protocols in SYSTEM,
    // DEFAULT in SHARED and every file of RECENT count as deleted without a command.
    int DeleteDeviceProtocol(const std::string &ip, const std::string &folder, const std::string &file);
    // Removes a folder after its password prompt; SYSTEM, SHARED, RECENT: success, no command.
    int RemoveDeviceFolder(const std::string &ip, const std::string &folder);
    // Makes a folder and, when secure, gives it the password (also an empty one).
    int MakeDeviceFolder(const std::string &ip, const std::string &folder, bool secure,
                         const std::string &password);
    // Makes the folder on the target with the source folder's password (read without asking).
    int CopyDeviceFolder(const std::string &targetIp, const std::string &folder, const std::string &sourceIp);
    // Asks for the password of a secure folder; an unprotected folder passes at once.
    int CheckFolderPassword(const std::string &ip, const std::string &folder);
    // Sets (an empty text: clears) the password of a folder.
    int SetFolderPassword(const std::string &ip, const std::string &folder, const std::string &password);

private:
    // A folder or file command with the one retry, reported under "Error " + label; 1 when done.
    int sendPlain(const std::string &ip, const std::string &request, const char *label);
    int passwordCheck(const std::string &ip, const std::string &upperFolder);
    int loadProtocol(const std::string &ip, const std::string &folder, const std::string &file,
                     const std::string &protocol, bool releaseFetched);

    TcpClient &FClient;
    FetchedProtocol FFetched;
};

} // namespace duvo
