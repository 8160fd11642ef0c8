#pragma once
// What the protocol lists and the network protocol browser show and search:
//  - the item markup of folders and protocol files in the HTML lists (navigator, folder
//    security) and of instruments, folders and files in the browser's tree;
//  - the rule of a listed folder name: a "!" marks a password-protected folder, whose name is
//    the text before its first "!";
//  - VLMGRFILES_T, the record of one file node of the browser, and the search over them with
//    WildcardMatch.

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

namespace duvo {

// A listed folder name split at its first "!": the shown name and whether it is protected.
struct ListedFolder {
    std::string name;
    bool secure = false;
};
ListedFolder SplitListedFolder(const std::string &listed);

// HTML list items (pictures of PictureContainer2).
QString FolderListItem(const ListedFolder &folder);   // folder_ico / folder_information_ico
QString DocumentListItem(const std::string &file);    // document_ico

// How the browser shows an instrument of a type: not at all, as a node alone ("SV cycler"),
// or as a node with its folders ("DUVO 24", "DUVO 96").
enum class BrowseNodeKind { None, InstrumentOnly, InstrumentWithFolders };
BrowseNodeKind BrowseNodeKindOf(const std::string &typeText);
// Tree node texts (pictures of DirImageList2 by number). Empty for a type with no node.
QString InstrumentNodeText(const std::string &ip, const std::string &id, const std::string &typeText);
QString FolderNodeText(const ListedFolder &folder);
QString FileNodeText(const std::string &file);

// One protocol file node of the browser's tree, in the order the nodes were added.
struct VLMGRFILES_T {
    std::string ip;
    std::string folder;   // as shown: a protected folder's name before its "!"
    std::string file;
    int16_t secure = 0;   // 1 when the folder is password-protected
    int nodeIndex = -1;   // pre-order index of the file's node in the tree
};

// Whole-name match, byte for byte and case-sensitive: "*" matches any run of characters (the
// empty one included), "?" exactly one; "*" and "?" in the name are plain characters.
bool WildcardMatch(const std::string &pattern, const std::string &name);

// The search of the browser's records: a record matches when its file matches the search
// text in upper case or in lower case. Run in slices so the caller can keep the window alive:
//   BrowseSearch s(records, text);
//   while (!s.done()) { s.step(2000); ...process events on a time budget... }
//   s.matches() -> record positions, in record order
class BrowseSearch {
public:
    BrowseSearch(const std::vector<VLMGRFILES_T> &records, const std::string &text);
    bool done() const { return FNext >= FRecords.size(); }
    // Looks at up to `count` more records.
    void step(size_t count);
    const std::vector<size_t> &matches() const { return FMatches; }

private:
    const std::vector<VLMGRFILES_T> &FRecords;
    std::string FUpper, FLower;
    size_t FNext = 0;
    std::vector<size_t> FMatches;
};

} // namespace duvo
