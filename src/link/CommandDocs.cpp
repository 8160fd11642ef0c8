#include "link/CommandDocs.h"

#include <tinyxml.h>

#include <climits>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <utility>

const char *const InstrumentXmlNamespace = "http://www.velmor.com/pcr/protocol";

const std::array<const char *, 19> InstrumentStatusNames = {
    "Volume", "Mode", "Steps", "Step", "Cycles", "Cycle", "TotalTime", "TimeLeft", "InfiniteHold",
    "TargetTemp", "TargetTempInc", "HoldTime", "HoldTimeInc", "HoldTimeLeft", "RampTime",
    "RampRate", "Folder", "File", "State"};

namespace {

using Param = std::pair<const char *, std::string>;

// Appends text as the XML printer writes element text and attribute values: & < > " ' as
// their entities (every "&", also one that opens a character reference), bytes below 32 as
// "&#xNN;", every other byte as it is.
void appendEscaped(std::string &out, const std::string &text)
{
    static const char Hex[] = "0123456789ABCDEF";
    size_t plain = 0;  // start of the run of bytes not yet copied
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const char *entity = nullptr;
        switch (c) {
        case '&': entity = "&amp;"; break;
        case '<': entity = "&lt;"; break;
        case '>': entity = "&gt;"; break;
        case '"': entity = "&quot;"; break;
        case '\'': entity = "&apos;"; break;
        default:
            if (c >= 32)
                continue;
        }
        out.append(text, plain, i - plain);
        if (entity) {
            out += entity;
        } else {
            const char ref[] = {'&', '#', 'x', Hex[c >> 4], Hex[c & 15], ';'};
            out.append(ref, sizeof ref);
        }
        plain = i + 1;
    }
    out.append(text, plain, std::string::npos);
}

// The request skeleton: declaration, group root with xmlns, command element with CmdType,
// ID and Target, then the parameter elements each holding its value as its only text. Written
// straight out the way the XML printer prints such a tree on one line (a request carries a
// whole protocol, so it is not built as a tree first).
std::string buildRequest(const char *group, const char *command, const char *id,
                         std::initializer_list<Param> params)
{
    size_t size = 160;
    for (const Param &p : params)
        size += 2 * std::strlen(p.first) + p.second.size() + p.second.size() / 4 + 8;
    std::string out;
    out.reserve(size);
    out += "<?xml version=\"1.0\" ?><";
    out += group;
    out += " xmlns=\"";
    appendEscaped(out, InstrumentXmlNamespace);
    out += "\"><";
    out += command;
    out += " CmdType=\"Request\" ID=\"";
    appendEscaped(out, id);
    out += "\" Target=\"pcr\"";
    if (params.size() == 0) {
        out += " />";
    } else {
        out += '>';
        for (const Param &p : params) {
            out += '<';
            out += p.first;
            out += '>';
            appendEscaped(out, p.second);
            out += "</";
            out += p.first;
            out += '>';
        }
        out += "</";
        out += command;
        out += '>';
    }
    out += "</";
    out += group;
    out += '>';
    return out;
}

// Replies are read with their whitespace as sent: names and protocol texts go back to the
// instrument byte for byte.
void keepWhitespace()
{
    static std::once_flag once;
    std::call_once(once, [] { TiXmlBase::SetCondenseWhiteSpace(false); });
}

// The document of a reply, parsed on this thread. A reply is read twice or more in a row
// (the status check, then the command's reader; a log reader once per entry), so the
// document of the last reply read stays with the thread and is parsed again only for
// another text. The reference holds until the next reply is read on this thread.
const TiXmlDocument &replyDocument(const std::string &reply);

// The first child element of each name in turn, from the document; null when one is missing.
const TiXmlElement *findPath(const TiXmlDocument &doc, std::initializer_list<const char *> path)
{
    const TiXmlNode *node = &doc;
    for (const char *name : path) {
        node = node->FirstChildElement(name);
        if (!node)
            return nullptr;
    }
    return node->ToElement();
}

// Reads fields below a parent one after another, with the reader's ok rule: the first missing
// element sets ok false and every later read does nothing.
class FieldReader {
public:
    FieldReader(const TiXmlElement *parent, bool &ok) : FParent(parent), FOk(ok)
    {
        FOk = parent != nullptr;
    }
    void read(const char *name, std::string &out, const char *emptyDefault = nullptr)
    {
        if (!FOk)
            return;
        const TiXmlElement *e = FParent->FirstChildElement(name);
        if (!e) {
            FOk = false;
            return;
        }
        if (const char *text = e->GetText())
            out = text;
        else if (emptyDefault)
            out = emptyDefault;
    }

private:
    const TiXmlElement *FParent;
    bool &FOk;
};

template <typename Table>
void readNameList(const std::string &reply, const char *listName, const char *entryName,
                  Table &table, int &count, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    const TiXmlElement *list = findPath(doc, {"FileSystem", "Dir", listName});
    const TiXmlElement *entry = list ? list->FirstChildElement(entryName) : nullptr;
    ok = entry != nullptr;
    if (!ok)
        return;
    table.Count = 0;
    table.Dropped = 0;
    for (; entry; entry = entry->NextSiblingElement()) {
        const char *text = entry->GetText();
        if (!text)
            continue;
        if (table.Count < Table::Slots)
            table.Names[static_cast<size_t>(table.Count++)] = text;
        else
            ++table.Dropped;
    }
    count = table.Count;
}

} // namespace

// True when the elements of text nest deeper than limit (counted from the tags alone, so an
// over-estimate). The parser recurses once per level: a reply nested tens of thousands deep
// would exhaust the stack, while real replies nest a handful of levels.
bool XmlNestsDeeperThan(const std::string &text, int limit)
{
    int depth = 0;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '<') {
            const char next = text[i + 1];
            if (next == '/')
                --depth;
            else if (next != '?' && next != '!' && ++depth > limit)
                return true;
        } else if (text[i] == '/' && text[i + 1] == '>') {
            --depth;
        }
    }
    return false;
}

namespace {

struct ReadReply {
    std::string text;
    TiXmlDocument doc;
    bool held = false;
};

const TiXmlDocument &replyDocument(const std::string &reply)
{
    thread_local ReadReply last;
    if (!last.held || last.text != reply) {
        last.held = false;
        last.doc = TiXmlDocument();
        ParseInstrumentXml(last.doc, reply);
        last.text = reply;
        last.held = true;
    }
    return last.doc;
}

} // namespace

bool ParseInstrumentXml(TiXmlDocument &doc, const std::string &text)
{
    keepWhitespace();
    if (XmlNestsDeeperThan(text, InstrumentXmlDepthLimit))
        return false;
    // Bytes are taken one by one (no UTF-8 decoding): names come back exactly as sent, and
    // the parser's UTF-8 path can step past the end of a text cut inside a multi-byte sequence.
    // No row and column are kept for the nodes (nothing reads them; counting them costs a
    // pass over every character).
    doc.SetTabSize(0);
    doc.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
    return !doc.Error();
}

std::string PrintInstrumentXml(const TiXmlDocument &doc)
{
    TiXmlPrinter printer;
    printer.SetIndent("");
    printer.SetLineBreak("");
    doc.Accept(&printer);
    return printer.Str();
}

// ---- Builders ---------------------------------------------------------------------------

std::string Nop_doc() { return buildRequest("Communication", "Nop", "00AADBCD", {}); }

std::string Test1_doc()
{
    return buildRequest("Communication", "Test1", "AABBCCD0",
                        {{"StringA", "Test string"}, {"IntA", "11656"}, {"FloatA", "32.7"},
                         {"BooleanA", "false"}});
}

std::string GetStatus_doc() { return buildRequest("CycleProtocol", "GetStatus", "A2BBCCD2", {}); }
std::string GetInstrumentInfo_doc()
{
    return buildRequest("Instrument", "GetInstrumentInfo", "E2BDCCD3", {});
}
std::string Stop_doc() { return buildRequest("CycleProtocol", "Stop", "A4BBCCD3", {}); }
std::string Pause_doc() { return buildRequest("CycleProtocol", "Pause", "A2BBCCD7", {}); }
std::string Skip_doc() { return buildRequest("CycleProtocol", "Skip", "E2BDCCD3", {}); }
std::string Continue_doc() { return buildRequest("CycleProtocol", "Continue", "A9BBCCD0", {}); }

std::string StartRun_doc(const std::string &folder, const std::string &file,
                         const std::string &consumable, const std::string &volume)
{
    return buildRequest("CycleProtocol", "StartRun", "A1BBCCD2",
                        {{"Folder", folder}, {"File", file}, {"Consumable", consumable},
                         {"Volume", volume}});
}

std::string DirFolders_doc() { return buildRequest("FileSystem", "Dir", "BCBBCCD2", {{"Folder", "\\"}}); }
std::string DirFiles_doc(const std::string &folder)
{
    return buildRequest("FileSystem", "Dir", "BCBBCCD3", {{"Folder", folder}});
}
std::string MakeFolder_doc(const std::string &folder)
{
    return buildRequest("FileSystem", "Md", "CABBCCD1", {{"Folder", folder}});
}
std::string RemoveFolder_doc(const std::string &folder)
{
    return buildRequest("FileSystem", "Rd", "DABBCCD9", {{"Folder", folder}});
}
std::string DelFile_doc(const std::string &folder, const std::string &file)
{
    return buildRequest("FileSystem", "DelFile", "8CBBCCD8", {{"Filename", folder + "/" + file}});
}
std::string Format_doc() { return buildRequest("FileSystem", "Format", "EABBCCD3", {}); }

std::string GetParameter_doc(const std::string &parameter)
{
    return buildRequest("Instrument", "GetParameter", "E9BDCCD3", {{"Parameter", parameter}});
}
std::string SetParameter_doc(const std::string &parameter, const std::string &value)
{
    return buildRequest("Instrument", "SetParameter", "E9BDCCD3",
                        {{"Parameter", parameter}, {"Value", value}});
}
std::string Power_doc(const std::string &mode)
{
    return buildRequest("Instrument", "Power", "E9BBCCD3", {{"Mode", mode}});
}
std::string GetProtocolLog_doc(const std::string &count)
{
    return buildRequest("CycleProtocol", "GetProtocolLog", "E9BBFFD3", {{"Count", count}});
}
std::string SetTime_doc(const std::string &time)
{
    return buildRequest("Instrument", "SetTime", "E9BBCCD3", {{"Time", time}});
}
std::string GetTime_doc() { return buildRequest("Instrument", "SetTime", "E9BBCCD3", {}); }
std::string GetBoardInfo_doc(const std::string &board)
{
    return buildRequest("Instrument", "GetBoardInfo", "E9BBFFD3", {{"Board", board}});
}
std::string GetProtocol_doc(const std::string &folder, const std::string &file)
{
    return buildRequest("CycleProtocol", "GetProtocol", "E2BBCCD3", {{"Folder", folder}, {"File", file}});
}
std::string LoadProtocol_doc(const std::string &folder, const std::string &file,
                             const std::string &protocol)
{
    return buildRequest("CycleProtocol", "LoadProtocol", "E2BDCCD3",
                        {{"Folder", folder}, {"File", file}, {"Protocol", protocol}});
}
std::string GetAttr_doc(const std::string &path, const std::string &attribute)
{
    return buildRequest("Instrument", "GetAttrValue", "E2BDCCD3", {{"Path", path}, {"Attribute", attribute}});
}
std::string SetAttr_doc(const std::string &path, const std::string &attribute, const std::string &value)
{
    return buildRequest("Instrument", "SetAttrValue", "E2BDCCD4",
                        {{"Path", path}, {"Attribute", attribute}, {"Value", value}});
}

// ---- Reply status -----------------------------------------------------------------------

int LeadingInteger(const std::string &text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' ||
                               text[i] == '\r' || text[i] == '\v' || text[i] == '\f'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

void FindReplyError(const TiXmlNode *start, ReplyErrorScan &scan)
{
    // Depth first in document order, iteratively so that a deeply nested reply cannot
    // exhaust the stack.
    const TiXmlNode *node = start;
    while (node && !scan.Done) {
        if (const TiXmlElement *e = node->ToElement()) {
            const char *name = e->Value();
            const char *text = e->GetText();
            if (std::string_view(name) == "ErrCode") {
                if (text)
                    scan.CodeText = text;
                if (scan.CodeText.empty()) {
                    scan.EmptyCode = true;
                    scan.Done = true;
                } else if (LeadingInteger(scan.CodeText) > 0) {
                    scan.PositiveCode = true;
                } else {
                    scan.Done = true;
                }
            } else if (std::string_view(name) == "ErrMessage" && scan.PositiveCode) {
                scan.MessageText = text ? text : "";
                scan.Done = true;
            }
        }
        if (scan.Done)
            break;
        // Next node in document order, without leaving the subtree of start.
        if (node->FirstChild()) {
            node = node->FirstChild();
            continue;
        }
        while (node && node != start && !node->NextSibling())
            node = node->Parent();
        if (!node || node == start)
            break;
        node = node->NextSibling();
    }
}

bool ScanReplyError(const std::string &reply, ReplyErrorScan &scan)
{
    const TiXmlDocument &doc = replyDocument(reply);
    if (!doc.FirstChild())
        return false;
    FindReplyError(&doc, scan);
    return true;
}

int ReplyStatus(const std::string &reply, std::string &message)
{
    ReplyErrorScan scan;
    ScanReplyError(reply, scan);
    if (!scan.Done || scan.EmptyCode) {
        message = "Parsing Error";
        return 1;
    }
    const int code = LeadingInteger(scan.CodeText);
    if (code == 0) {
        message = "OK";
        return 0;
    }
    if (code < 0 || scan.MessageText.empty())
        message = "Error " + scan.CodeText;
    else
        message = scan.MessageText;
    return code;
}

// ---- Readers ----------------------------------------------------------------------------

void GetInstrumentInfo_Ret_Doc(const std::string &reply, std::string &type, std::string &firmware,
                               std::string &serialNumber, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"Instrument", "GetInstrumentInfo"}), ok);
    r.read("SN", serialNumber, "DU0000000000");
    r.read("Type", type);
    r.read("Firmware", firmware);
}

void Test1_Ret_Doc(const std::string &reply, std::string &stringA, std::string &intA,
                   std::string &floatA, std::string &booleanA, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"Communication", "Test1"}), ok);
    r.read("StringA", stringA);
    r.read("IntA", intA);
    r.read("FloatA", floatA);
    r.read("BooleanA", booleanA);
}

void GetStatus_Ret_Doc(const std::string &reply, InstrumentStatus &status, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"CycleProtocol", "GetStatus"}), ok);
    for (size_t i = 0; i < status.size(); ++i)
        r.read(InstrumentStatusNames[i], status[i]);
}

void Power_Ret_Doc(const std::string &reply, std::string &status, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"Instrument", "Power"}), ok);
    r.read("Status", status, "0");
}

void GetTime_Ret_Doc(const std::string &reply, std::string &time, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"Instrument", "SetTime"}), ok);
    r.read("Time", time, "000000000000");
}

void DirFolders_Ret_Doc(const std::string &reply, FolderNameTable &folders, int &count, bool &ok)
{
    readNameList(reply, "Folders", "Folder", folders, count, ok);
}

void DirFiles_Ret_Doc(const std::string &reply, FileNameTable &files, int &count, bool &ok)
{
    readNameList(reply, "Files", "File", files, count, ok);
}

void GetParameter_Ret_Doc(const std::string &reply, std::string &value, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"Instrument", "GetParameter"}), ok);
    r.read("Value", value);
}

void GetProtocol_Ret_Doc(const std::string &reply, std::string &folder, std::string &file,
                         std::string &protocol, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"CycleProtocol", "GetProtocol"}), ok);
    r.read("Folder", folder);
    r.read("File", file);
    r.read("Protocol", protocol);
}

void LoadProtocol_Ret_Doc(const std::string &reply, std::string &folder, std::string &file, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"CycleProtocol", "LoadProtocol"}), ok);
    r.read("Folder", folder);
    r.read("File", file);
}

void GetAttr_Ret_Doc(const std::string &reply, std::string &value, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"Instrument", "GetAttrValue"}), ok);
    r.read("Value", value);
}

void GetProtocolLogErrorCount_Ret_Doc(const std::string &reply, int &count, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    ok = true;
    count = 0;
    const TiXmlElement *errors = findPath(doc, {"CycleProtocol", "GetProtocolLog", "ProtocolLog", "Errors"});
    const TiXmlElement *e = errors ? errors->FirstChildElement("Error") : nullptr;
    for (; e; e = e->NextSiblingElement())
        ++count;
}

void GetProtocolLog_Ret_Doc(const std::string &reply, std::string &startTime, std::string &runTime,
                            std::string &path, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"CycleProtocol", "GetProtocolLog", "ProtocolLog"}), ok);
    r.read("StartTime", startTime);
    r.read("RunTime", runTime);
    r.read("Path", path);
}

void GetProtocolLogError_Ret_Doc(const std::string &reply, int index, ProtocolLogEntry &entry, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    const TiXmlElement *errors = findPath(doc, {"CycleProtocol", "GetProtocolLog", "ProtocolLog", "Errors"});
    const TiXmlElement *error = nullptr;
    if (errors && index >= 0) {
        int i = 0;
        for (error = errors->FirstChildElement("Error"); error && i < index;
             error = error->NextSiblingElement("Error"))
            ++i;
    }
    FieldReader r(error, ok);
    r.read("Code", entry.Code, "-");
    r.read("ManualCode", entry.ManualCode, "-");
    r.read("ErrorText", entry.ErrorText, "-");
    r.read("ActionText", entry.ActionText, "-");
    r.read("Severity", entry.Severity, "-");
    r.read("TimeStamp", entry.TimeStamp);
}

void GetBoardInfo_Ret_Doc(const std::string &reply, BoardInfo &board, bool &ok)
{
    const TiXmlDocument &doc = replyDocument(reply);
    FieldReader r(findPath(doc, {"Instrument", "GetBoardInfo"}), ok);
    r.read("InfoRev", board[BoardInfoRev]);
    r.read("Name", board[BoardName]);
    r.read("Revision", board[BoardRevision]);
    r.read("SN", board[BoardSN]);
    r.read("Date", board[BoardDate]);
}
