// Replies that real instruments give in corner cases: a GetProtocol reply that names another
// folder or file than the one asked for, and a GetAttrValue reply without a Value.

#include "SimInstrument.h"

namespace duvosim {

void SimInstrument::setProtocolReplyNames(const std::string &folder, const std::string &file,
                                          const std::string &replyFolder, const std::string &replyFile)
{
    std::lock_guard l(FMutex);
    FProtocolReplyNames[{folder, file}] = {replyFolder, replyFile};
}

void SimInstrument::setOmitEmptyAttrValue(bool on)
{
    std::lock_guard l(FMutex);
    FOmitEmptyAttrValue = on;
}

} // namespace duvosim
