#include "maintenance/InstrumentNames.h"

namespace duvo {

std::string CutSecureMark(const std::string &name)
{
    const size_t bang = name.find('!');
    return bang == std::string::npos ? name : name.substr(0, bang);
}

bool IsPlainInstrumentName(const std::string &name, int maxLength)
{
    if (name.empty() || name.size() > static_cast<size_t>(maxLength))
        return false;
    if (name.find("..") != std::string::npos)
        return false;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || u < 0x20 || u == 0x7f)
            return false;
    }
    return true;
}

} // namespace duvo
