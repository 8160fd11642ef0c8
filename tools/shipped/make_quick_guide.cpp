// Writes the quick guide "Duvo_Quick_Guide.pdf" that the workstation opens from its Help menu
// (F1). Run at build time: make_quick_guide <output.pdf>

#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

static const char *kGuide = R"HTML(
<h1>Velmor Duvo Studio &ndash; Quick Guide</h1>
<p>Velmor Duvo Studio watches and runs the Duvo PCR thermal cyclers on your local network.
This guide shows the first steps.</p>

<h2>1. Start</h2>
<p>Start Velmor Duvo Studio. It looks for the Duvo instruments on the network and lists
them in the device list. The list refreshes itself every few seconds; press
<b>Device List</b> below the list to look for the instruments again, for example after an
instrument was switched on or got a new address.</p>

<h2>2. The device list</h2>
<p>Each row is one instrument: its address, type, serial number and firmware, its name and
location, and what it is doing now (stopped, running with the step, cycle and time left,
paused or completed). An instrument that does not answer is marked offline until the next
<b>Device List</b>.</p>

<h2>3. The ribbon</h2>
<ul>
<li><b>Protocols</b>: run, create and edit protocols; copy protocols between instruments
and disk; browse the protocols of every instrument; protect folders with passwords.</li>
<li><b>Toolbox</b>: internet downloads, the RS232 terminal, the run log of an instrument,
reboot, power, clock synchronisation, name and location, the IP tool, the firewall settings
and the file search.</li>
<li><b>vDuvo</b>: save a whole instrument to a virtual Duvo file and load it again.</li>
<li><b>Maintenance</b>: firmware updates, factory default and cloning.</li>
<li><b>Options</b>: database administration, computer information and preferences.</li>
</ul>

<h2>4. Running a protocol</h2>
<p>Select an instrument, choose <b>Run Protocol</b>, pick the folder and the protocol and
press Start. The run monitor follows the run; closing it does not stop the run.</p>

<h2>5. E-mail alerts</h2>
<p>Under <b>Options &gt; Preferences</b> set up the mail server. An instrument can then send
you an e-mail when its run completes or reports an error.</p>

<h2>6. Network</h2>
<p>The workstation needs UDP port 20034 (discovery) and TCP port 62751 (instrument
commands). <b>Toolbox &gt; Firewall</b> lists what to open. <b>Duvo IP Tool</b> sets the
network addresses of the instruments; press <b>Device List</b> afterwards.</p>

<h2>Help</h2>
<p>Press F1 anywhere in the main window to open this guide again.</p>
)HTML";

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_quick_guide <output.pdf>\n");
        return 2;
    }
    QPdfWriter writer(QString::fromLocal8Bit(argv[1]));
    writer.setTitle(QStringLiteral("Duvo Quick Guide"));
    writer.setCreator(QStringLiteral("Velmor Duvo Studio"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
    QTextDocument doc;
    doc.setHtml(QString::fromUtf8(kGuide));
    doc.print(&writer);
    return 0;
}
