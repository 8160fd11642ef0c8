#pragma once
// The RS232 console to an instrument's serial port (modeless; the main window keeps at most one
// in ActiveTerminalForm and frees it once hidden, which closes the port).
//
// The port list holds the serial ports of this PC sorted as text, then the paths named in
// DUVO_SERIAL_PORTS (':'-separated), or the one placeholder "No COM ports". Connect opens the
// selected port at 115200 baud, 8 data bits, no parity, one stop bit, no flow control, with DTR
// and RTS off (a pseudo-terminal that has no modem lines is fine). An open failure or a port
// that goes away shows the port's error text and returns to the closed state.

#include <QDialog>
#include <QSerialPort>
#include <functional>

class QComboBox;
class QPushButton;
class TerminalView;

class TTerminalForm : public QDialog {
    Q_OBJECT
public:
    explicit TTerminalForm(QWidget *owner);
    ~TTerminalForm() override;

    static const QString NoPortsText;

    // The serial ports of this PC as the list offers them; tests replace the lister.
    static QStringList AvailablePorts();
    static void SetPortLister(std::function<QStringList()> lister);

    QComboBox *ComboBox1 = nullptr;
    QPushButton *btnConnect = nullptr;
    QPushButton *btnDisconnect = nullptr;
    TerminalView *VaTerminal1 = nullptr;
    QSerialPort &port() { return FPort; }

public slots:
    void btnConnectClick();
    void btnDisconnectClick();

private:
    void FormDestroy();
    void setOpenState(bool open);
    void portFailed(const QString &text);

    QSerialPort FPort;
    bool FPlaceholder = false;
};
