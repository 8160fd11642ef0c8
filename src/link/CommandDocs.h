#pragma once
// The instrument command vocabulary: one builder per command (suffix _doc) that returns the
// one-line request document, one reader per reply (suffix _Ret_Doc) that picks the values out
// of a reply, and ReplyStatus, the error check every caller runs on a reply first.
//
// Texts are the bytes that travel on the wire (std::string): names read from a reply go back
// to the instrument unchanged. Convert to QString only for display.

#include <array>
#include <string>

// The namespace every request carries in its root element's xmlns attribute.
extern const char *const InstrumentXmlNamespace;

// ---- Shared types -----------------------------------------------------------------------

// The folder list of a Dir reply: 40 slots of folder names. A "!" in a name marks a
// password-protected folder. Names are kept whole, even past the 12 characters an instrument
// uses, so a longer name never turns into a different, shorter one; entries past the 40th
// are not stored but counted in Dropped, so callers can tell that the list is incomplete.
struct FolderNameTable {
    static constexpr int Slots = 40;
    static constexpr int NameRoom = 12;
    std::array<std::string, Slots> Names;
    int Count = 0;    // slots filled
    int Dropped = 0;  // named entries past the last slot
};

// The protocol file list of one folder: 40 slots of file names (8 characters on an
// instrument); the same rules as FolderNameTable.
struct FileNameTable {
    static constexpr int Slots = 40;
    static constexpr int NameRoom = 8;
    std::array<std::string, Slots> Names;
    int Count = 0;
    int Dropped = 0;
};

// The 19 texts of a status reply, in reply order.
using InstrumentStatus = std::array<std::string, 19>;
enum InstrumentStatusField : int {
    StatusVolume, StatusMode, StatusSteps, StatusStep, StatusCycles, StatusCycle,
    StatusTotalTime, StatusTimeLeft, StatusInfiniteHold, StatusTargetTemp, StatusTargetTempInc,
    StatusHoldTime, StatusHoldTimeInc, StatusHoldTimeLeft, StatusRampTime, StatusRampRate,
    StatusFolder, StatusFile, StatusState
};
// The element names of the status reply, in reply order ("Volume" ... "State").
extern const std::array<const char *, 19> InstrumentStatusNames;

// The texts that describe one instrument board.
using BoardInfo = std::array<std::string, 6>;
enum BoardInfoField : int { BoardInfoRev, BoardName, BoardRevision, BoardSN, BoardCode, BoardDate };

// One error of an instrument's run log.
struct ProtocolLogEntry {
    std::string Code;
    std::string ManualCode;
    std::string ErrorText;
    std::string ActionText;
    std::string Severity;
    std::string TimeStamp;
};

// ---- Builders ---------------------------------------------------------------------------

std::string Nop_doc();
std::string Test1_doc();  // fixed: "Test string", "11656", "32.7", "false"
std::string GetStatus_doc();
std::string GetInstrumentInfo_doc();
std::string Stop_doc();
std::string Pause_doc();
std::string Skip_doc();
std::string Continue_doc();
std::string StartRun_doc(const std::string &folder, const std::string &file,
                         const std::string &consumable, const std::string &volume);
std::string DirFolders_doc();  // Folder "\": list the folders
std::string DirFiles_doc(const std::string &folder);
std::string MakeFolder_doc(const std::string &folder);
std::string RemoveFolder_doc(const std::string &folder);
std::string DelFile_doc(const std::string &folder, const std::string &file);  // folder + "/" + file
std::string Format_doc();
std::string GetParameter_doc(const std::string &parameter);
std::string SetParameter_doc(const std::string &parameter, const std::string &value);
std::string Power_doc(const std::string &mode);  // "Off" shuts down, "On" reboots
std::string GetProtocolLog_doc(const std::string &count);
std::string SetTime_doc(const std::string &time);  // "MMDDhhmmYYYY"
std::string GetTime_doc();  // SetTime without Time asks for the clock
std::string GetBoardInfo_doc(const std::string &board);  // "0" CPU, "1" AMP
std::string GetProtocol_doc(const std::string &folder, const std::string &file);
std::string LoadProtocol_doc(const std::string &folder, const std::string &file,
                             const std::string &protocol);
std::string GetAttr_doc(const std::string &path, const std::string &attribute);
std::string SetAttr_doc(const std::string &path, const std::string &attribute,
                        const std::string &value);

// ---- Reply status -----------------------------------------------------------------------

// Runs on every reply first. Returns 0 with "OK" when the reply's deciding ErrCode is 0; the
// instrument's positive code with its ErrMessage text; 1 with "Parsing Error" when the reply
// is not XML, has no ErrCode, has an empty first ErrCode or a positive code without a
// following ErrMessage. A negative code is returned as it stands, with "Error " + the code
// text as message; a positive code whose ErrMessage is empty gives "Error " + the code text.
int ReplyStatus(const std::string &reply, std::string &message);

// The search state of ReplyStatus.
struct ReplyErrorScan {
    std::string CodeText;
    std::string MessageText;
    bool PositiveCode = false;
    bool Done = false;
    bool EmptyCode = false;  // the deciding ErrCode had no text
};
// Parses the reply and runs FindReplyError over it; false when nothing could be parsed.
bool ScanReplyError(const std::string &reply, ReplyErrorScan &scan);
class TiXmlNode;
// Walks the tree below node depth first in document order until the scan is done.
void FindReplyError(const TiXmlNode *node, ReplyErrorScan &scan);

// The leading decimal integer of a text (leading blanks and a sign allowed, 0 when the text
// does not begin with a number), saturated to the int range.
int LeadingInteger(const std::string &text);

// ---- Readers ----------------------------------------------------------------------------
// Each sets ok true, then false at the first element it needs that is missing (a reply that
// is not XML has none) and stops there: outputs after it keep what the caller put in them.
// An element present without text leaves its output unchanged unless a default is noted.

void GetInstrumentInfo_Ret_Doc(const std::string &reply, std::string &type, std::string &firmware,
                               std::string &serialNumber, bool &ok);  // empty SN: "DU0000000000"
void Test1_Ret_Doc(const std::string &reply, std::string &stringA, std::string &intA,
                   std::string &floatA, std::string &booleanA, bool &ok);
void GetStatus_Ret_Doc(const std::string &reply, InstrumentStatus &status, bool &ok);
void Power_Ret_Doc(const std::string &reply, std::string &status, bool &ok);  // empty: "0"
void GetTime_Ret_Doc(const std::string &reply, std::string &time, bool &ok);  // empty: "000000000000"
// Fills the table from Folders: the first Folder element and every following sibling element.
void DirFolders_Ret_Doc(const std::string &reply, FolderNameTable &folders, int &count, bool &ok);
void DirFiles_Ret_Doc(const std::string &reply, FileNameTable &files, int &count, bool &ok);
void GetParameter_Ret_Doc(const std::string &reply, std::string &value, bool &ok);
void GetProtocol_Ret_Doc(const std::string &reply, std::string &folder, std::string &file,
                         std::string &protocol, bool &ok);
void LoadProtocol_Ret_Doc(const std::string &reply, std::string &folder, std::string &file, bool &ok);
void GetAttr_Ret_Doc(const std::string &reply, std::string &value, bool &ok);
// Counts the Error elements of the run log; ok is always true (0 without an Errors list).
void GetProtocolLogErrorCount_Ret_Doc(const std::string &reply, int &count, bool &ok);
void GetProtocolLog_Ret_Doc(const std::string &reply, std::string &startTime, std::string &runTime,
                            std::string &path, bool &ok);
// The index-th (from 0) error of the run log; empty texts read as "-", except TimeStamp.
void GetProtocolLogError_Ret_Doc(const std::string &reply, int index, ProtocolLogEntry &entry, bool &ok);
// Fills InfoRev, Name, Revision, SN and Date; Code keeps what the caller set.
void GetBoardInfo_Ret_Doc(const std::string &reply, BoardInfo &board, bool &ok);

// ---- Helpers shared with the simulator --------------------------------------------------

// Parses XML text the way the link does (whitespace kept as sent). False on a parse error;
// the document then holds what was read before the error. A text whose tags nest deeper than
// InstrumentXmlDepthLimit (XmlNestsDeeperThan) is refused unread.
inline constexpr int InstrumentXmlDepthLimit = 1000;
bool XmlNestsDeeperThan(const std::string &text, int limit);
class TiXmlDocument;
bool ParseInstrumentXml(TiXmlDocument &doc, const std::string &text);
// Prints a document as one line, no indentation, no line breaks.
std::string PrintInstrumentXml(const TiXmlDocument &doc);
