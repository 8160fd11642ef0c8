#include "DemoMaintenance.h"

#include "SimLab.h"

#include <string>

namespace duvosim {

namespace {

std::string assay(const std::string &name, int anneal, int cycles)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?><CycleProtocol><Name>" + name
           + "</Name><Lid>105.0</Lid><Volume>25</Volume>"
             "<Step><Number>1</Number><Temp>95.0</Temp><Hold>120</Hold></Step>"
             "<Step><Number>2</Number><Temp>95.0</Temp><Hold>15</Hold></Step>"
             "<Step><Number>3</Number><Temp>"
           + std::to_string(anneal) + ".0</Temp><Hold>30</Hold></Step>"
             "<Step><Number>4</Number><Temp>72.0</Temp><Hold>45</Hold><Goto>2</Goto><Cycles>"
           + std::to_string(cycles) + "</Cycles></Step></CycleProtocol>";
}

} // namespace

void setUpMaintenanceDemo(SimLab &lab)
{
    if (lab.count() < 2)
        return;
    // Bench 2 (idle): the source to clone or to save into a virtual data file.
    SimInstrument &in = lab.instrument(1);
    in.makeFolder("ASSAYS", "GENOMICS2024");
    in.putProtocol("ASSAYS", "BRCA1", assay("BRCA1", 60, 35));
    in.putProtocol("ASSAYS", "BRCA2", assay("BRCA2", 58, 35));
    in.putProtocol("ASSAYS", "KRAS", assay("KRAS", 62, 40));
    in.makeFolder("TEACH");
    in.putProtocol("TEACH", "DEMO1", assay("DEMO1", 55, 25));
    in.putProtocol("TEACH", "DEMO2", assay("DEMO2", 57, 30));
}

} // namespace duvosim
