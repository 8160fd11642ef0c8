#include "protocols/BrowseItems.h"
#include "protocols/DeviceFileOperations.h"

#include <algorithm>
#include <cctype>

namespace duvo {

namespace {
QString q(const std::string &s) { return QString::fromStdString(s); }

std::string lowerName(std::string s)
{
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}
} // namespace

ListedFolder SplitListedFolder(const std::string &listed)
{
    const size_t bang = listed.find('!');
    if (bang == std::string::npos)
        return {listed, false};
    return {listed.substr(0, bang), true};
}

QString FolderListItem(const ListedFolder &folder)
{
    return (folder.secure ? QStringLiteral("<IMG src=\"folder_information_ico\" align=\"bottom\"><ind x=\"24\">")
                          : QStringLiteral("<IMG src=\"folder_ico\" align=\"bottom\"><ind x=\"24\">")) +
           q(folder.name);
}

QString DocumentListItem(const std::string &file)
{
    return QStringLiteral("<IMG src=\"document_ico\" align=\"bottom\"><ind x=\"24\">") + q(file);
}

BrowseNodeKind BrowseNodeKindOf(const std::string &typeText)
{
    if (typeText == "SV cycler")
        return BrowseNodeKind::InstrumentOnly;
    if (typeText == "DUVO 24" || typeText == "DUVO 96")
        return BrowseNodeKind::InstrumentWithFolders;
    return BrowseNodeKind::None;
}

QString InstrumentNodeText(const std::string &ip, const std::string &id, const std::string &typeText)
{
    int picture = 0;
    if (typeText == "SV cycler")
        picture = 13;
    else if (typeText == "DUVO 24")
        picture = 14;
    else if (typeText == "DUVO 96")
        picture = 15;
    else
        return {};
    return QStringLiteral("<IMG SRC=\"idx:%1\" align=\"bottom\"> <B><FONT SIZE=\"10\">%2</FONT></B>"
                          "<FONT SIZE=\"8\"><B>  ID</B>: %3")
        .arg(picture)
        .arg(q(ip), q(id));
}

QString FolderNodeText(const ListedFolder &folder)
{
    return QStringLiteral("<IMG src=\"idx:%1\" align=\"bottom\"><ind x=\"24\">").arg(folder.secure ? 16 : 1) +
           q(folder.name);
}

QString FileNodeText(const std::string &file)
{
    return QStringLiteral("<IMG src=\"idx:17\" align=\"bottom\"><ind x=\"24\">") + q(file);
}

bool WildcardMatch(const std::string &pattern, const std::string &name)
{
    size_t p = 0, n = 0;
    // Up to the first "*": every character equal or "?".
    while (n < name.size() && (p >= pattern.size() || pattern[p] != '*')) {
        if (p >= pattern.size() || (pattern[p] != name[n] && pattern[p] != '?'))
            return false;
        ++p;
        ++n;
    }
    if (n == name.size()) {
        while (p < pattern.size() && pattern[p] == '*')
            ++p;
        return p == pattern.size();
    }
    // From a "*": remember where to retry.
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            ++p;
            if (p == pattern.size())
                return true;  // a trailing "*" takes the rest
            starP = p;
            starN = n + 1;
        } else if (p < pattern.size() && (pattern[p] == name[n] || pattern[p] == '?')) {
            ++p;
            ++n;
        } else {
            p = starP;
            n = starN++;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

BrowseSearch::BrowseSearch(const std::vector<VLMGRFILES_T> &records, const std::string &text)
    : FRecords(records), FUpper(UpperName(text)), FLower(lowerName(text))
{
}

void BrowseSearch::step(size_t count)
{
    const size_t end = std::min(FRecords.size(), FNext + count);
    for (; FNext < end; ++FNext) {
        const std::string &file = FRecords[FNext].file;
        if (WildcardMatch(FUpper, file) || WildcardMatch(FLower, file))
            FMatches.push_back(FNext);
    }
}

} // namespace duvo
