#include "maintenance/forms/TTerminalForm.h"

#include "common/Prompts.h"
#include "maintenance/forms/TerminalView.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

const QString TTerminalForm::NoPortsText = QStringLiteral("No COM ports");

namespace {

std::function<QStringList()> &portLister()
{
    static std::function<QStringList()> lister;
    return lister;
}

QString hint(const QString &title, const QString &note)
{
    return QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), note.toHtmlEscaped());
}

} // namespace

QStringList TTerminalForm::AvailablePorts()
{
    if (portLister())
        return portLister()();
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    std::sort(names.begin(), names.end());
    for (const QString &path : qEnvironmentVariable("DUVO_SERIAL_PORTS").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (!names.contains(path))
            names << path;
    return names;
}

void TTerminalForm::SetPortLister(std::function<QStringList()> lister)
{
    portLister() = std::move(lister);
}

TTerminalForm::TTerminalForm(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("TerminalForm"));
    setWindowTitle(QStringLiteral("Duvo Studio RS232 Serial Terminal"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    resize(720, 480);

    auto *label = new QLabel(QStringLiteral("COM Port:"));
    ComboBox1 = new QComboBox;
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setMaxVisibleItems(10);
    ComboBox1->setMinimumWidth(180);
    ComboBox1->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label->setBuddy(ComboBox1);
    btnConnect = new QPushButton(QStringLiteral("Connect"));
    btnConnect->setObjectName(QStringLiteral("btnConnect"));
    btnConnect->setToolTip(hint(QStringLiteral("Open COM port"), QStringLiteral("Connect and open RS232 COM port")));
    btnDisconnect = new QPushButton(QStringLiteral("Disconnect"));
    btnDisconnect->setObjectName(QStringLiteral("btnDisconnect"));
    btnDisconnect->setToolTip(hint(QStringLiteral("Close COM port"), QStringLiteral("Disconnect and close RS232 COM port")));
    for (QPushButton *b : {btnConnect, btnDisconnect})
        b->setAutoDefault(false);

    VaTerminal1 = new TerminalView;

    auto *top = new QHBoxLayout;
    top->addWidget(label);
    top->addWidget(ComboBox1);
    top->addSpacing(12);
    top->addWidget(btnConnect);
    top->addWidget(btnDisconnect);
    top->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(VaTerminal1, 1);

    const QStringList ports = AvailablePorts();
    FPlaceholder = ports.isEmpty();
    ComboBox1->addItems(FPlaceholder ? QStringList{NoPortsText} : ports);
    ComboBox1->setCurrentIndex(0);
    setOpenState(false);

    connect(btnConnect, &QPushButton::clicked, this, &TTerminalForm::btnConnectClick);
    connect(btnDisconnect, &QPushButton::clicked, this, &TTerminalForm::btnDisconnectClick);
    connect(VaTerminal1, &TerminalView::bytesTyped, this, [this](const QByteArray &bytes) {
        if (FPort.isOpen())
            FPort.write(bytes);
    });
    connect(&FPort, &QSerialPort::readyRead, this, [this] { VaTerminal1->feed(FPort.readAll()); });
    connect(&FPort, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (!FPort.isOpen())
            return;
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError || error == QSerialPort::WriteError) {
            const QString text = FPort.errorString();
            FPort.close();
            setOpenState(false);
            // The box waits in a loop of its own: started from a timer, never inside the
            // port's notification.
            QTimer::singleShot(1, this, [text] { duvo::Prompts::error(text, QStringLiteral("Error")); });
        }
    });

    if (owner) {
        const QRect o = owner->frameGeometry();
        move(o.center() - rect().center());
    }
}

TTerminalForm::~TTerminalForm()
{
    FormDestroy();
}

void TTerminalForm::FormDestroy()
{
    if (FPort.isOpen())
        FPort.close();
}

void TTerminalForm::setOpenState(bool open)
{
    btnConnect->setEnabled(!open);
    btnDisconnect->setEnabled(open);
    ComboBox1->setEnabled(!open);
}

void TTerminalForm::portFailed(const QString &text)
{
    if (FPort.isOpen())
        FPort.close();
    setOpenState(false);
    duvo::Prompts::error(text, QStringLiteral("Error"));
}

void TTerminalForm::btnConnectClick()
{
    if (FPlaceholder || ComboBox1->currentIndex() < 0) {
        duvo::Prompts::message(ComboBox1->currentText(), QStringLiteral("Warning"), duvo::Ok, duvo::PromptIcon::Warning);
        return;
    }
    // The port is configured from the selection at the moment of Connect.
    FPort.setPortName(ComboBox1->currentText());
    FPort.setBaudRate(QSerialPort::Baud115200);
    FPort.setDataBits(QSerialPort::Data8);
    FPort.setParity(QSerialPort::NoParity);
    FPort.setStopBits(QSerialPort::OneStop);
    FPort.setFlowControl(QSerialPort::NoFlowControl);
    if (!FPort.open(QIODevice::ReadWrite)) {
        portFailed(FPort.errorString());
        return;
    }
    // A pseudo-terminal has no modem lines: a refusal here is no error.
    FPort.setDataTerminalReady(false);
    FPort.setRequestToSend(false);
    FPort.clearError();
    setOpenState(true);
    duvo::Prompts::message(QStringLiteral("After connect press ENTER key to see if connection established.  In some cases you may have to reboot your Duvo in order to start receiving serial output."),
                           QStringLiteral("Information"), duvo::Ok, duvo::PromptIcon::Information);
    VaTerminal1->setFocus();
}

void TTerminalForm::btnDisconnectClick()
{
    if (!FPort.isOpen())
        return;
    FPort.close();
    setOpenState(false);
}
