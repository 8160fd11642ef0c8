// Feeds arbitrary bytes as an instrument reply to ReplyStatus and every reply reader.

#include "link/CommandDocs.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string reply(reinterpret_cast<const char *>(data), size);
    std::string message, a, b, c, d;
    bool ok = false;
    int count = 0;
    ReplyStatus(reply, message);
    GetInstrumentInfo_Ret_Doc(reply, a, b, c, ok);
    Test1_Ret_Doc(reply, a, b, c, d, ok);
    InstrumentStatus status;
    GetStatus_Ret_Doc(reply, status, ok);
    Power_Ret_Doc(reply, a, ok);
    GetTime_Ret_Doc(reply, a, ok);
    FolderNameTable folders;
    DirFolders_Ret_Doc(reply, folders, count, ok);
    if (ok && (folders.Count < 0 || folders.Count > FolderNameTable::Slots))
        __builtin_trap();
    FileNameTable files;
    DirFiles_Ret_Doc(reply, files, count, ok);
    if (ok && (files.Count < 0 || files.Count > FileNameTable::Slots))
        __builtin_trap();
    GetParameter_Ret_Doc(reply, a, ok);
    GetProtocol_Ret_Doc(reply, a, b, c, ok);
    LoadProtocol_Ret_Doc(reply, a, b, ok);
    GetAttr_Ret_Doc(reply, a, ok);
    GetProtocolLogErrorCount_Ret_Doc(reply, count, ok);
    GetProtocolLog_Ret_Doc(reply, a, b, c, ok);
    ProtocolLogEntry entry;
    for (int i = 0; i < 3; ++i)
        GetProtocolLogError_Ret_Doc(reply, i, entry, ok);
    BoardInfo board;
    GetBoardInfo_Ret_Doc(reply, board, ok);
    return 0;
}
