// The serial console against a pseudo-terminal: what goes out, what comes in, the line
// settings the port really got, and the port's end on disconnect and when the window is freed.

#include "duvosim/SimSerialConsole.h"
#include "maintenance/forms/TTerminalForm.h"
#include "maintenance/forms/TerminalView.h"
#include "mainwindow/forms/DOzerAvirAded.h"
#include "GuiTest.h"
#include "ScriptedPrompts.h"
#include "TestFolders.h"

#include <QComboBox>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace duvo;
using namespace duvo::test;

namespace {

// A pseudo-terminal pair: the test keeps the master end; the window opens the slave path.
struct PtyPair {
    int master = -1;
    QString slavePath;
    PtyPair()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0)
            return;
        slavePath = QString::fromLocal8Bit(name);
        ::close(slave);  // only the window holds the slave from now on
        ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { closeMaster(); }
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    bool ok() const { return master >= 0; }
    // Everything the window wrote, gathered for up to ms milliseconds.
    QByteArray read(int expected, int ms = 3000)
    {
        QByteArray got;
        waitFor([&] {
            char buf[256];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, n);
            return got.size() >= expected;
        }, ms);
        return got;
    }
    // True once the slave side has no opener any more (reading the master reports EIO).
    bool hungUp(int ms = 3000)
    {
        return waitFor([&] {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 0) > 0 && (p.revents & POLLHUP))
                return true;
            char c;
            return ::read(master, &c, 1) < 0 && errno == EIO;
        }, ms);
    }
};

void selectPort(TTerminalForm &form, const QString &path)
{
    const int index = form.ComboBox1->findText(path);
    QVERIFY2(index >= 0, qPrintable(path));
    form.ComboBox1->setCurrentIndex(index);
}

} // namespace

class TestTerminal : public QObject {
    Q_OBJECT
private slots:
    void init() { TTerminalForm::SetPortLister({}); }

    void noPortsShowsThePlaceholderAndRefusesIt()
    {
        TTerminalForm::SetPortLister([] { return QStringList(); });
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("No COM ports"), QStringLiteral("Warning"));
        TTerminalForm form(nullptr);
        QCOMPARE(form.ComboBox1->count(), 1);
        QCOMPARE(form.ComboBox1->currentText(), QStringLiteral("No COM ports"));
        QVERIFY(form.btnConnect->isEnabled());
        QVERIFY(!form.btnDisconnect->isEnabled());
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        QCOMPARE(prompts.asked().size(), 1);
        QCOMPARE(prompts.asked()[0].icon, PromptIcon::Warning);
        QVERIFY(!form.port().isOpen());
        QVERIFY(form.btnConnect->isEnabled());
    }

    void everyListedPortIsAcceptedEvenTheFirst()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        // The only port, sorted first, opens: there is no index rule besides the placeholder.
        TTerminalForm::SetPortLister([&] { return QStringList{pty.slavePath}; });
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("After connect press ENTER key"), QStringLiteral("Information"));
        TTerminalForm form(nullptr);
        QCOMPARE(form.ComboBox1->currentIndex(), 0);
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        QVERIFY(form.port().isOpen());
        QVERIFY(!form.btnConnect->isEnabled());
        QVERIFY(form.btnDisconnect->isEnabled());
        QVERIFY(!form.ComboBox1->isEnabled());
    }

    void environmentPortsAreListedAfterThePcsOwn()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        qputenv("DUVO_SERIAL_PORTS", (QStringLiteral("/dev/duvo-none:") + pty.slavePath).toLocal8Bit());
        const QStringList ports = TTerminalForm::AvailablePorts();
        qunsetenv("DUVO_SERIAL_PORTS");
        QVERIFY(ports.size() >= 2);
        QCOMPARE(ports.mid(ports.size() - 2), (QStringList{QStringLiteral("/dev/duvo-none"), pty.slavePath}));
        QStringList own = ports.mid(0, ports.size() - 2);
        QStringList sorted = own;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(own, sorted);  // "ttyS10" before "ttyS2": sorted as text
    }

    void keysGoOutAsBytesUnechoedAndRepliesAppear()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        TTerminalForm::SetPortLister([&] { return QStringList{QStringLiteral("/dev/ttyDUVO0"), pty.slavePath}; });
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("After connect"));
        TTerminalForm form(nullptr);
        form.show();
        selectPort(form, pty.slavePath);
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        QVERIFY(form.port().isOpen());

        // The line settings the port really has, read through the master end.
        termios t{};
        QCOMPARE(::tcgetattr(pty.master, &t), 0);
        QCOMPARE(::cfgetospeed(&t), speed_t(B115200));
        QCOMPARE(::cfgetispeed(&t), speed_t(B115200));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(t.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));

        QTest::keyClicks(form.VaTerminal1, QStringLiteral("ab"));
        QTest::keyClick(form.VaTerminal1, Qt::Key_Return);
        QCOMPARE(pty.read(3), QByteArray("ab\r"));
        QCOMPARE(form.VaTerminal1->lines(), QStringList{QString()});  // no local echo

        const QByteArray banner = "Duvo 96 console\r\nDUVO> ";
        QCOMPARE(::write(pty.master, banner.constData(), banner.size()), ssize_t(banner.size()));
        QVERIFY(waitFor([&] { return form.VaTerminal1->lines().size() == 2; }));
        QCOMPARE(form.VaTerminal1->lines(), (QStringList{QStringLiteral("Duvo 96 console"), QStringLiteral("DUVO> ")}));
        saveShot(form, QStringLiteral("TTerminalForm"));
    }

    void screenHandlesCarriageReturnLineFeedAndBackspace_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QStringList>("screen");
        QTest::addColumn<int>("column");
        QTest::newRow("crlf") << QByteArray("ab\r\ncd") << QStringList{"ab", "cd"} << 2;
        QTest::newRow("cr overwrites") << QByteArray("hello\rJ") << QStringList{"Jello"} << 1;
        QTest::newRow("backspace erase") << QByteArray("abc\b \b") << QStringList{"ab "} << 2;
        QTest::newRow("backspace at start") << QByteArray("\b\bx") << QStringList{"x"} << 1;
        QTest::newRow("tab") << QByteArray("a\tb") << QStringList{"a       b"} << 9;
        QTest::newRow("controls hidden") << QByteArray("a\x07\x1b" "b\x7f") << QStringList{"ab"} << 2;
        QTest::newRow("latin1") << QByteArray("\xb0" "C") << QStringList{QStringLiteral("\u00b0C")} << 2;
    }
    void screenHandlesCarriageReturnLineFeedAndBackspace()
    {
        QFETCH(QByteArray, input);
        QFETCH(QStringList, screen);
        QFETCH(int, column);
        TerminalView view;
        view.feed(input);
        QCOMPARE(view.lines(), screen);
        QCOMPARE(view.cursorColumn(), column);
    }

    void scrollBackIsBounded()
    {
        TerminalView view;
        QByteArray many;
        for (int i = 0; i < TerminalView::MaxLines + 100; ++i)
            many += "line " + QByteArray::number(i) + "\r\n";
        view.feed(many);
        const QStringList lines = view.lines();
        QCOMPARE(lines.size(), TerminalView::MaxLines);
        QCOMPARE(lines.last(), QString());
        QCOMPARE(lines.at(lines.size() - 2), QStringLiteral("line %1").arg(TerminalView::MaxLines + 99));
    }

    void disconnectHangsUpTheOtherEnd()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        TTerminalForm::SetPortLister([&] { return QStringList{pty.slavePath}; });
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("After connect"));
        TTerminalForm form(nullptr);
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        QVERIFY(form.port().isOpen());
        QVERIFY(!pty.hungUp(200));
        QTest::mouseClick(form.btnDisconnect, Qt::LeftButton);
        QVERIFY(!form.port().isOpen());
        QVERIFY(form.btnConnect->isEnabled());
        QVERIFY(form.ComboBox1->isEnabled());
        QVERIFY(pty.hungUp());
    }

    void aPortThatCannotBeOpenedShowsItsErrorAndStaysClosed()
    {
        TTerminalForm::SetPortLister([] { return QStringList{QStringLiteral("/nonexistent/ttyDUVO")}; });
        ScriptedPrompts prompts;
        prompts.answer(Ok, QString(), QStringLiteral("Error"));
        TTerminalForm form(nullptr);
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        QCOMPARE(prompts.asked().size(), 1);
        QVERIFY(!prompts.asked()[0].text.isEmpty());
        QVERIFY(!form.port().isOpen());
        QVERIFY(form.btnConnect->isEnabled());
        QVERIFY(!form.btnDisconnect->isEnabled());
    }

    void aVanishedPortShowsItsErrorAndReturnsToClosed()
    {
        PtyPair pty;
        QVERIFY(pty.ok());
        TTerminalForm::SetPortLister([&] { return QStringList{pty.slavePath}; });
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("After connect"));
        prompts.answer(Ok, QString(), QStringLiteral("Error"));
        TTerminalForm form(nullptr);
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        QVERIFY(form.port().isOpen());
        pty.closeMaster();
        QVERIFY(waitFor([&] { return !form.port().isOpen() && prompts.asked().size() == 2; }));
        QVERIFY(form.btnConnect->isEnabled());
    }

    void simulatedConsoleAnswersEnterWithItsPrompt()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("duvo-serial"));
        duvosim::SimSerialConsole console("DUVO 24");
        std::string error;
        QVERIFY2(console.start(link.toStdString(), &error), error.c_str());
        qputenv("DUVO_SERIAL_PORTS", link.toLocal8Bit());
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("After connect"));
        TTerminalForm form(nullptr);
        qunsetenv("DUVO_SERIAL_PORTS");
        selectPort(form, link);
        QTest::mouseClick(form.btnConnect, Qt::LeftButton);
        QVERIFY(form.port().isOpen());
        QTest::keyClick(form.VaTerminal1, Qt::Key_Return);
        QVERIFY(waitFor([&] { return form.VaTerminal1->lines().contains(QStringLiteral("DUVO> ")); }));
        QVERIFY(form.VaTerminal1->lines().contains(QStringLiteral("DUVO 24 console ready")));
    }

    void hiddenTerminalIsFreedByTheMainWindowWhichHangsUp()
    {
        TempProgramFolder folder;
        PtyPair pty;
        QVERIFY(pty.ok());
        TTerminalForm::SetPortLister([&] { return QStringList{pty.slavePath}; });
        ScriptedPrompts prompts;
        prompts.answer(Ok, QStringLiteral("After connect"));
        DOzerAvirAded main;
        main.btnTerminalClick();
        QPointer<QWidget> first = ActiveTerminalForm;
        QVERIFY(first);
        auto *form = qobject_cast<TTerminalForm *>(first.data());
        QTest::mouseClick(form->btnConnect, Qt::LeftButton);
        QVERIFY(form->port().isOpen());
        main.btnTerminalClick();  // still shown: the same window comes to the front
        QCOMPARE(ActiveTerminalForm.data(), first.data());
        form->hide();
        main.IdleFree();
        QVERIFY(!first);
        QVERIFY(pty.hungUp());
        main.btnTerminalClick();  // a new window once the old one is gone
        QVERIFY(ActiveTerminalForm);
        delete ActiveTerminalForm.data();
    }
};

QTEST_MAIN(TestTerminal)
#include "tst_terminal.moc"
