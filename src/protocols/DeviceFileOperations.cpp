#include "protocols/DeviceFileOperations.h"

#include "common/Prompts.h"
#include "link/CommandDocs.h"
#include "link/NetCommand.h"

#include <algorithm>
#include <climits>

namespace duvo {

namespace {

const char *const ServiceProtocols[] = {"VALIDAT", "SERV1", "SERV2", "SERV3", "CALIBR", "BURNIN", "LIFETES"};

const char *const PasswordAttribute = "password";

// A file name that names one file of the folder: a "/" or "\" in it would point the
// instrument at another folder, past the reserved names.
bool plainFileName(const std::string &file)
{
    return file.find_first_of("/\\") == std::string::npos;
}

// A folder text that is sent as it stands (the clone's and the virtual data file's loads):
// its normalised name must be plain, and the text may only add one leading "/" to it.
bool plainWholeFolder(const std::string &folder)
{
    const std::string name = NormalFolderName(folder);
    return IsPlainFolderName(name) && (folder == name || folder == "/" + name);
}

// SYSTEM with a service protocol, SHARED with DEFAULT (upper-cased names).
bool reservedProtocol(const std::string &upperFolder, const std::string &upperFile)
{
    return (upperFolder == "SYSTEM" && IsServiceProtocol(upperFile))
        || (upperFolder == "SHARED" && upperFile == "DEFAULT");
}

bool nameCharacter(QChar c, bool blankAllowed)
{
    const char16_t u = c.unicode();
    return u == '-' || (u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (blankAllowed && u == ' ');
}

QString display(const std::string &text) { return QString::fromStdString(text); }

int replyLength(const std::string &reply)
{
    return static_cast<int>(std::min<size_t>(reply.size(), INT_MAX));
}

} // namespace

// ---- Names ------------------------------------------------------------------------------

std::string NormalFolderName(const std::string &folder)
{
    const size_t slash = folder.find('/');
    return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

std::string UpperName(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

bool IsReservedFolder(const std::string &upperFolder)
{
    return upperFolder == "SYSTEM" || upperFolder == "SHARED" || upperFolder == "RECENT";
}

bool IsPlainFolderName(const std::string &normalFolder)
{
    return !normalFolder.empty() && normalFolder.find_first_of("/\\") == std::string::npos
        && normalFolder.find("..") == std::string::npos;
}

bool IsServiceProtocol(const std::string &upperFile)
{
    return std::any_of(std::begin(ServiceProtocols), std::end(ServiceProtocols),
                       [&upperFile](const char *name) { return upperFile == name; });
}

QString NameEditChange(const QString &text)
{
    if (text.isEmpty())
        return text;
    if (text.size() == 1)
        return nameCharacter(text.at(0), false) ? text : QString();
    return nameCharacter(text.back(), true) ? text : text.left(text.size() - 1);
}

QString TypedNameText(const QString &typed, int maxLength)
{
    QString text;
    for (const QChar c : typed) {
        if (text.size() >= maxLength)
            break;
        text = NameEditChange(text + c.toUpper());
    }
    return text;
}

QString ListItemPlainText(const QString &itemText)
{
    QString out;
    out.reserve(itemText.size());
    bool inTag = false;
    for (const QChar c : itemText) {
        if (inTag) {
            if (c == u'>')
                inTag = false;
        } else if (c == u'<') {
            inTag = true;
        } else {
            out += c;
        }
    }
    if (!out.contains(u'&'))
        return out;
    out.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    out.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    out.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    out.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    out.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return out;
}

int FindListItem(const QStringList &items, const QString &name)
{
    for (int i = 0; i < items.size(); ++i)
        if (ListItemPlainText(items.at(i)) == name)
            return i;
    return -1;
}

// ---- Listings -----------------------------------------------------------------------------

int DeviceFileOperations::ListDeviceFolders(const std::string &ip, int &count, std::vector<std::string> &list,
                                            FolderListing listing)
{
    FolderNameTable folders;
    const NetReply r = SendInstrumentCommand(FClient, ip, DirFolders_doc(), "DirFolders");
    if (!r.ok) {
        count = -1;
        return count;
    }
    int n = 0;
    bool ok = false;
    DirFolders_Ret_Doc(r.text, folders, n, ok);
    if (!ok) {
        count = -1;
        return count;
    }
    for (int i = 0; i < folders.Count; ++i) {
        const std::string &name = folders.Names[static_cast<size_t>(i)];
        if (listing == FolderListing::WithoutRecent && name == "RECENT")
            continue;
        list.push_back(name);
    }
    count = n;
    return count;
}

int DeviceFileOperations::ListDeviceFiles(const std::string &ip, const std::string &folder, int &count,
                                          std::vector<std::string> &list)
{
    FileNameTable files;
    const NetReply r = SendInstrumentCommand(FClient, ip, DirFiles_doc(folder), "DirFiles");
    if (!r.ok) {
        count = -1;
        return count;
    }
    int n = 0;
    bool ok = false;
    DirFiles_Ret_Doc(r.text, files, n, ok);
    if (!ok) {
        count = -1;
        return count;
    }
    for (int i = 0; i < files.Count; ++i)
        list.push_back(files.Names[static_cast<size_t>(i)]);
    count = n;
    return count;
}

// ---- Fetch and load -----------------------------------------------------------------------

int DeviceFileOperations::FetchProtocol(const std::string &ip, const std::string &folder, const std::string &file)
{
    const std::string name = NormalFolderName(folder);
    const NetReply r = SendInstrumentCommand(FClient, ip, GetProtocol_doc(name, file),
                                             NetCommandCall("GetProtocol").plainTitle());
    FFetched.release();
    if (!r.ok)
        return 0;
    FFetched.Size = replyLength(r.text);
    std::string replyFolder, replyFile, protocol;
    bool ok = false;
    GetProtocol_Ret_Doc(r.text, replyFolder, replyFile, protocol, ok);
    if (!ok) {
        // Nothing of a reply that could not be read stays in the window.
        Prompts::error(display(r.statusMessage), QStringLiteral("Error GetProtocol_Ret_Doc"));
        return 0;
    }
    FFetched.Folder = replyFolder;
    FFetched.File = replyFile;
    FFetched.Protocol = std::move(protocol);
    return 1;
}

int DeviceFileOperations::loadProtocol(const std::string &ip, const std::string &folder, const std::string &file,
                                       const std::string &protocol, bool releaseFetched)
{
    const NetReply r = SendInstrumentCommand(FClient, ip, LoadProtocol_doc(folder, file, protocol),
                                             NetCommandCall("LoadProtocol").plainTitle());
    // Once the command went out, the fetched protocol is spent, whatever came back.
    if (releaseFetched)
        FFetched.release();
    if (!r.ok)
        return 0;
    std::string replyFolder, replyFile;
    bool ok = false;
    LoadProtocol_Ret_Doc(r.text, replyFolder, replyFile, ok);
    if (!ok) {
        Prompts::error(display(r.statusMessage), QStringLiteral("Error LoadProtocol_Ret_Doc"));
        return 0;
    }
    return 1;
}

int DeviceFileOperations::LoadProtocolToDevice(const std::string &ip, const std::string &folder,
                                               const std::string &file)
{
    if (!FFetched.held())
        return 0;
    const std::string name = NormalFolderName(folder);
    if (reservedProtocol(UpperName(name), UpperName(file)))
        return 1;
    if (!plainFileName(file) || !IsPlainFolderName(name))
        return 0;
    const std::string protocol = *FFetched.Protocol;
    return loadProtocol(ip, name, file, protocol, true);
}

int DeviceFileOperations::LoadProtocolToDevice(const std::string &ip, const std::string &folder,
                                               const std::string &file, const std::string &protocol)
{
    if (protocol.empty())
        return 0;
    const std::string name = NormalFolderName(folder);
    if (reservedProtocol(UpperName(name), UpperName(file)))
        return 1;
    if (!plainFileName(file) || !IsPlainFolderName(name))
        return 0;
    return loadProtocol(ip, name, file, protocol, false);
}

int DeviceFileOperations::LoadProtocolToDevice(const std::string &targetIp)
{
    const std::string upperFolder = UpperName(NormalFolderName(FFetched.Folder));
    const std::string upperFile = UpperName(FFetched.File);
    if (upperFolder == "SYSTEM" || upperFolder == "RECENT" || (upperFolder == "SHARED" && upperFile == "DEFAULT"))
        return 1;
    if (!FFetched.held() || !plainFileName(FFetched.File) || !plainWholeFolder(FFetched.Folder))
        return 0;
    const std::string folder = FFetched.Folder, file = FFetched.File, protocol = *FFetched.Protocol;
    return loadProtocol(targetIp, folder, file, protocol, true);
}

int DeviceFileOperations::LoadProtocolToDevice(const std::string &ip, const std::string &folder,
                                               const std::string &file, const std::string &protocol, int size)
{
    (void)size;  // the request holds the whole document, whatever the file says of its size
    const std::string upperFolder = UpperName(NormalFolderName(folder));
    // DEFAULT in SHARED is never written, however the file spells it.
    if (upperFolder == "SYSTEM" || upperFolder == "RECENT"
        || (upperFolder == "SHARED" && UpperName(file) == "DEFAULT"))
        return 1;
    if (folder.empty() || file.empty() || protocol.empty() || !plainFileName(file) || !plainWholeFolder(folder))
        return 0;
    return loadProtocol(ip, folder, file, protocol, false);
}

// ---- Passwords ----------------------------------------------------------------------------

int DeviceFileOperations::passwordCheck(const std::string &ip, const std::string &upperFolder)
{
    const NetReply r = SendInstrumentCommand(FClient, ip, GetAttr_doc(upperFolder, PasswordAttribute), "GetAttr");
    if (!r.ok)
        return 0;
    std::string password;
    bool ok = false;
    GetAttr_Ret_Doc(r.text, password, ok);
    if (!ok)
        return 0;
    if (password.empty())
        return 1;
    // The prompt stays until the right password is typed or the user gives up: a wrong one
    // brings it back without a word.
    PromptRequest request;
    request.kind = PromptKind::Input;
    request.title = QStringLiteral("Secure Folder: ") + display(upperFolder);
    request.text = QStringLiteral("Enter Password");
    request.password = true;
    request.buttons = Ok | Cancel;
    // The edit takes the four characters of a password made here; a longer password (set by
    // another tool) gets room for all of its characters, or the folder could never be opened.
    const int room = std::max<int>(FolderPasswordLength, static_cast<int>(std::min<size_t>(password.size(), 64)));
    // The real service shows the password prompt, which knows the password and closes with
    // Ok only for it; a scripted service answers as planned and the loop below checks.
    request.expectedPassword = display(password);
    request.maxLength = room;
    for (;;) {
        const PromptAnswer answer = Prompts::instance().ask(request);
        if (answer.button != Ok)
            return 0;
        if (TypedNameText(answer.value, room).toStdString() == password)
            return 1;
    }
}

int DeviceFileOperations::CheckFolderPassword(const std::string &ip, const std::string &folder)
{
    const std::string upperFolder = UpperName(NormalFolderName(folder));
    if (IsReservedFolder(upperFolder))
        return 1;
    if (!IsPlainFolderName(upperFolder))
        return 0;
    return passwordCheck(ip, upperFolder);
}

int DeviceFileOperations::SetFolderPassword(const std::string &ip, const std::string &folder,
                                            const std::string &password)
{
    const std::string upperFolder = UpperName(NormalFolderName(folder));
    if (IsReservedFolder(upperFolder))
        return 1;
    if (!IsPlainFolderName(upperFolder))
        return 0;
    return sendPlain(ip, SetAttr_doc(upperFolder, PasswordAttribute, password), "Set Password");
}

// ---- Delete, make, remove -----------------------------------------------------------------

int DeviceFileOperations::sendPlain(const std::string &ip, const std::string &request, const char *label)
{
    return SendInstrumentCommand(FClient, ip, request, NetCommandCall(label).plainTitle()).ok ? 1 : 0;
}

int DeviceFileOperations::DeleteDeviceProtocol(const std::string &ip, const std::string &folder,
                                               const std::string &file)
{
    const std::string upperFolder = UpperName(NormalFolderName(folder));
    const std::string upperFile = UpperName(file);
    if (reservedProtocol(upperFolder, upperFile) || upperFolder == "RECENT")
        return 1;
    if (!plainFileName(file) || !IsPlainFolderName(upperFolder))
        return 0;
    if (!passwordCheck(ip, upperFolder))
        return 0;
    return sendPlain(ip, DelFile_doc(upperFolder, upperFile), "DelFile");
}

int DeviceFileOperations::RemoveDeviceFolder(const std::string &ip, const std::string &folder)
{
    const std::string upperFolder = UpperName(NormalFolderName(folder));
    if (IsReservedFolder(upperFolder))
        return 1;
    if (!IsPlainFolderName(upperFolder))
        return 0;
    if (!passwordCheck(ip, upperFolder))
        return 0;
    return sendPlain(ip, RemoveFolder_doc(upperFolder), "RemoveFolder");
}

int DeviceFileOperations::MakeDeviceFolder(const std::string &ip, const std::string &folder, bool secure,
                                           const std::string &password)
{
    const std::string upperFolder = UpperName(NormalFolderName(folder));
    if (IsReservedFolder(upperFolder))
        return 1;
    if (!IsPlainFolderName(upperFolder))
        return 0;
    if (!sendPlain(ip, MakeFolder_doc(upperFolder), "MakeFolder"))
        return 0;
    if (!secure)
        return 1;
    // The folder stays made when its password cannot be set; the caller hears of a failure.
    return sendPlain(ip, SetAttr_doc(upperFolder, PasswordAttribute, password), "MakeFolder Password");
}

int DeviceFileOperations::CopyDeviceFolder(const std::string &targetIp, const std::string &folder,
                                           const std::string &sourceIp)
{
    const std::string upperFolder = UpperName(NormalFolderName(folder));
    if (IsReservedFolder(upperFolder))
        return 1;
    if (!IsPlainFolderName(upperFolder))
        return 0;
    const NetReply source = SendInstrumentCommand(FClient, sourceIp, GetAttr_doc(upperFolder, PasswordAttribute),
                                                  "GetAttr");
    if (!source.ok)
        return 0;
    std::string password;
    bool ok = false;
    GetAttr_Ret_Doc(source.text, password, ok);
    if (!ok)
        return 0;
    if (!sendPlain(targetIp, MakeFolder_doc(upperFolder), "MakeFolder"))
        return 0;
    return sendPlain(targetIp, SetAttr_doc(upperFolder, PasswordAttribute, password), "MakeFolder Password");
}

} // namespace duvo
