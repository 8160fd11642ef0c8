#include "duvosim/SimFaultFilter.h"

#include <tinyxml.h>

#include <cctype>

namespace duvosim {
namespace {

std::string nameKey(std::string s)
{
    size_t start = 0;
    while (start < s.size() && (s[start] == '/' || s[start] == '\\'))
        ++start;
    s.erase(0, start);
    for (char &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string childText(const TiXmlElement *cmd, const char *name)
{
    const TiXmlElement *e = cmd ? cmd->FirstChildElement(name) : nullptr;
    const char *t = e ? e->GetText() : nullptr;
    return t ? std::string(t) : std::string();
}

bool namesIt(const TiXmlElement *cmd, const std::string &wanted)
{
    const std::string folder = nameKey(childText(cmd, "Folder"));
    const std::string file = nameKey(childText(cmd, "File"));
    const std::string path = nameKey(childText(cmd, "Path"));
    const std::string filename = nameKey(childText(cmd, "Filename"));
    if (wanted == folder || wanted == file || wanted == path || wanted == filename)
        return !wanted.empty();
    if (!folder.empty() && !file.empty() && wanted == folder + "/" + file)
        return true;
    const size_t slash = filename.find('/');
    if (slash != std::string::npos)
        return wanted == filename.substr(0, slash) || wanted == nameKey(filename.substr(slash + 1));
    return false;
}

bool carriesIt(const TiXmlElement *cmd, const std::string &wanted)
{
    for (const TiXmlElement *e = cmd ? cmd->FirstChildElement() : nullptr; e; e = e->NextSiblingElement()) {
        const char *t = e->GetText();
        if (t && wanted == t)
            return true;
    }
    return false;
}

} // namespace

bool faultNarrowingMatches(const SimFault &fault, const TiXmlElement *cmd)
{
    if (!fault.name.empty() && !namesIt(cmd, nameKey(fault.name)))
        return false;
    if (!fault.argument.empty() && !carriesIt(cmd, fault.argument))
        return false;
    return true;
}

} // namespace duvosim
