#include "duvosim/SimCopyDemo.h"

#include "duvosim/SimLab.h"

namespace duvosim {

namespace {

std::string renamed(const std::string &protocol, const std::string &name)
{
    std::string text = protocol;
    const std::string open = "<Name>", close = "</Name>";
    const size_t a = text.find(open);
    const size_t b = a == std::string::npos ? a : text.find(close, a);
    if (b != std::string::npos)
        text.replace(a + open.size(), b - a - open.size(), name);
    return text;
}

} // namespace

void setUpCopyDemo(SimLab &lab, const std::string &protocol)
{
    if (lab.count() > 1) {  // a secure folder (password 1234) with assays, and a plain one
        SimInstrument &in = lab.instrument(1);
        in.makeFolder("ASSAYS", "1234");
        for (const char *name : {"HBV01", "HCV02", "CMV03", "EBV04"})
            in.putProtocol("ASSAYS", name, renamed(protocol, name));
        in.makeFolder("TRAINING");
        in.putProtocol("TRAINING", "QPCR30", renamed(protocol, "QPCR30"));
        in.putProtocol("TRAINING", "MELT", renamed(protocol, "MELT"));
    }
    if (lab.count() > 4) {  // a folder of the same name with one file in common
        SimInstrument &in = lab.instrument(4);
        in.makeFolder("TRAINING");
        in.putProtocol("TRAINING", "QPCR30", renamed(protocol, "QPCR30"));
    }
}

} // namespace duvosim
