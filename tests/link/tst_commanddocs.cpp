#include "link/CommandDocs.h"

#include <QTest>

#include <functional>
#include <tinyxml.h>

Q_DECLARE_METATYPE(std::string)

namespace {

const std::string Decl = "<?xml version=\"1.0\" ?>";

std::string root(const std::string &group)
{
    return "<" + group + " xmlns=\"http://www.velmor.com/pcr/protocol\">";
}

std::string cmd(const std::string &name, const std::string &id)
{
    return "<" + name + " CmdType=\"Request\" ID=\"" + id + "\" Target=\"pcr\"";
}

// A whole request: declaration, root, command element with the parameter elements.
std::string request(const std::string &group, const std::string &name, const std::string &id,
                    const std::string &params = {})
{
    if (params.empty())
        return Decl + root(group) + cmd(name, id) + " /></" + group + ">";
    return Decl + root(group) + cmd(name, id) + ">" + params + "</" + name + "></" + group + ">";
}

std::string reply(const std::string &group, const std::string &command, const std::string &body)
{
    return "<?xml version=\"1.0\" ?><" + group + "><" + command + ">" + body + "<ErrCode>0</ErrCode></"
           + command + "></" + group + ">";
}

} // namespace

class TestCommandDocs : public QObject {
    Q_OBJECT
private slots:
    void builders_data()
    {
        QTest::addColumn<std::string>("built");
        QTest::addColumn<std::string>("expected");
        QTest::newRow("Nop") << Nop_doc() << request("Communication", "Nop", "00AADBCD");
        QTest::newRow("Test1") << Test1_doc()
                               << request("Communication", "Test1", "AABBCCD0",
                                          "<StringA>Test string</StringA><IntA>11656</IntA>"
                                          "<FloatA>32.7</FloatA><BooleanA>false</BooleanA>");
        QTest::newRow("GetStatus") << GetStatus_doc() << request("CycleProtocol", "GetStatus", "A2BBCCD2");
        QTest::newRow("GetInstrumentInfo") << GetInstrumentInfo_doc()
                                           << request("Instrument", "GetInstrumentInfo", "E2BDCCD3");
        QTest::newRow("Stop") << Stop_doc() << request("CycleProtocol", "Stop", "A4BBCCD3");
        QTest::newRow("Pause") << Pause_doc() << request("CycleProtocol", "Pause", "A2BBCCD7");
        QTest::newRow("Skip") << Skip_doc() << request("CycleProtocol", "Skip", "E2BDCCD3");
        QTest::newRow("Continue") << Continue_doc() << request("CycleProtocol", "Continue", "A9BBCCD0");
        QTest::newRow("StartRun") << StartRun_doc("DATA", "PCR1", "1", "25")
                                  << request("CycleProtocol", "StartRun", "A1BBCCD2",
                                             "<Folder>DATA</Folder><File>PCR1</File>"
                                             "<Consumable>1</Consumable><Volume>25</Volume>");
        QTest::newRow("DirFolders") << DirFolders_doc()
                                    << request("FileSystem", "Dir", "BCBBCCD2", "<Folder>\\</Folder>");
        QTest::newRow("DirFiles") << DirFiles_doc("SHARED")
                                  << request("FileSystem", "Dir", "BCBBCCD3", "<Folder>SHARED</Folder>");
        QTest::newRow("Md") << MakeFolder_doc("NEWDIR")
                            << request("FileSystem", "Md", "CABBCCD1", "<Folder>NEWDIR</Folder>");
        QTest::newRow("Rd") << RemoveFolder_doc("OLD")
                            << request("FileSystem", "Rd", "DABBCCD9", "<Folder>OLD</Folder>");
        QTest::newRow("DelFile") << DelFile_doc("DATA", "PCR1")
                                 << request("FileSystem", "DelFile", "8CBBCCD8", "<Filename>DATA/PCR1</Filename>");
        QTest::newRow("Format") << Format_doc() << request("FileSystem", "Format", "EABBCCD3");
        QTest::newRow("GetParameter") << GetParameter_doc("84")
                                      << request("Instrument", "GetParameter", "E9BDCCD3", "<Parameter>84</Parameter>");
        QTest::newRow("SetParameter") << SetParameter_doc("63", "Room 2")
                                      << request("Instrument", "SetParameter", "E9BDCCD3",
                                                 "<Parameter>63</Parameter><Value>Room 2</Value>");
        QTest::newRow("Power") << Power_doc("Off") << request("Instrument", "Power", "E9BBCCD3", "<Mode>Off</Mode>");
        QTest::newRow("GetProtocolLog") << GetProtocolLog_doc("1")
                                        << request("CycleProtocol", "GetProtocolLog", "E9BBFFD3", "<Count>1</Count>");
        QTest::newRow("SetTime") << SetTime_doc("031514302025")
                                 << request("Instrument", "SetTime", "E9BBCCD3", "<Time>031514302025</Time>");
        QTest::newRow("GetTime") << GetTime_doc() << request("Instrument", "SetTime", "E9BBCCD3");
        QTest::newRow("GetBoardInfo") << GetBoardInfo_doc("1")
                                      << request("Instrument", "GetBoardInfo", "E9BBFFD3", "<Board>1</Board>");
        QTest::newRow("GetProtocol") << GetProtocol_doc("DATA", "PCR1")
                                     << request("CycleProtocol", "GetProtocol", "E2BBCCD3",
                                                "<Folder>DATA</Folder><File>PCR1</File>");
        QTest::newRow("LoadProtocol") << LoadProtocol_doc("DATA", "PCR1", "<P>\n<S a=\"1\"/>\n</P>")
                                      << request("CycleProtocol", "LoadProtocol", "E2BDCCD3",
                                                 "<Folder>DATA</Folder><File>PCR1</File>"
                                                 "<Protocol>&lt;P&gt;&#x0A;&lt;S a=&quot;1&quot;/&gt;&#x0A;"
                                                 "&lt;/P&gt;</Protocol>");
        QTest::newRow("GetAttr") << GetAttr_doc("DATA", "password")
                                 << request("Instrument", "GetAttrValue", "E2BDCCD3",
                                            "<Path>DATA</Path><Attribute>password</Attribute>");
        QTest::newRow("SetAttr") << SetAttr_doc("DATA", "password", "s3cret")
                                 << request("Instrument", "SetAttrValue", "E2BDCCD4",
                                            "<Path>DATA</Path><Attribute>password</Attribute><Value>s3cret</Value>");
        // Escaping: every "&" is escaped, also one that opens a character reference, so user
        // text never turns into another character; control characters become references.
        QTest::newRow("escaping") << SetAttr_doc("A&B", "password", "&#x41;'\t\"<>")
                                  << request("Instrument", "SetAttrValue", "E2BDCCD4",
                                             "<Path>A&amp;B</Path><Attribute>password</Attribute>"
                                             "<Value>&amp;#x41;&apos;&#x09;&quot;&lt;&gt;</Value>");
        // Bytes above 127 pass unchanged: names go back to the instrument as they came.
        QTest::newRow("high bytes") << DirFiles_doc("\xC3\x84XY\xFF")
                                    << request("FileSystem", "Dir", "BCBBCCD3", "<Folder>\xC3\x84XY\xFF</Folder>");
    }
    void builders()
    {
        QFETCH(std::string, built);
        QFETCH(std::string, expected);
        QCOMPARE(QByteArray::fromStdString(built), QByteArray::fromStdString(expected));
    }

    // A request is written straight out; it must be byte for byte what the XML printer makes
    // of the same tree, for every byte a value can hold.
    void requestsAreWhatThePrinterPrints()
    {
        std::vector<std::string> values{std::string(), "&#x41;'\t\"<>", "a  b\r\n &amp; \xC3\xA9\x7F"};
        for (int c = 0; c < 256; ++c)
            values.push_back(std::string(1, char(c)) + "x" + std::string(1, char(c)));
        for (const std::string &value : values) {
            TiXmlDocument doc;
            doc.LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
            auto *root = new TiXmlElement("CycleProtocol");
            root->SetAttribute("xmlns", "http://www.velmor.com/pcr/protocol");
            doc.LinkEndChild(root);
            auto *command = new TiXmlElement("LoadProtocol");
            command->SetAttribute("CmdType", "Request");
            command->SetAttribute("ID", "E2BDCCD3");
            command->SetAttribute("Target", "pcr");
            root->LinkEndChild(command);
            for (const char *name : {"Folder", "File", "Protocol"}) {
                auto *e = new TiXmlElement(name);
                e->LinkEndChild(new TiXmlText(value));
                command->LinkEndChild(e);
            }
            const std::string printed = PrintInstrumentXml(doc);
            QCOMPARE(QByteArray::fromStdString(LoadProtocol_doc(value, value, value)), QByteArray::fromStdString(printed));
        }
    }

    void escapedTextsComeBackUnchanged()
    {
        // What a builder writes, a reader of the same element reads back byte for byte.
        const std::string nasty = "&#x41; a  b\r\n\t<>\"' \xC3\xA9 &amp;";
        const std::string req = LoadProtocol_doc("D", "F", nasty);
        std::string folder, file, protocol;
        bool ok = false;
        std::string asReply = req;
        asReply.replace(asReply.find("LoadProtocol"), 12, "GetProtocol");
        asReply.replace(asReply.rfind("LoadProtocol"), 12, "GetProtocol");
        GetProtocol_Ret_Doc(asReply, folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(QByteArray::fromStdString(protocol), QByteArray::fromStdString(nasty));
    }

    void replyStatus_data()
    {
        QTest::addColumn<std::string>("reply");
        QTest::addColumn<int>("status");
        QTest::addColumn<std::string>("message");
        QTest::newRow("code 0") << std::string("<R><C><ErrCode>0</ErrCode></C></R>") << 0 << std::string("OK");
        QTest::newRow("code 0 with message") << std::string("<R><ErrCode>0</ErrCode><ErrMessage>x</ErrMessage></R>")
                                             << 0 << std::string("OK");
        QTest::newRow("code 12 with message")
            << std::string("<R><C><ErrCode>12</ErrCode><ErrMessage>Folder exists</ErrMessage></C></R>") << 12
            << std::string("Folder exists");
        QTest::newRow("code 12 without message") << std::string("<R><ErrCode>12</ErrCode></R>") << 1
                                                 << std::string("Parsing Error");
        QTest::newRow("message before code ignored")
            << std::string("<R><ErrMessage>early</ErrMessage><ErrCode>7</ErrCode></R>") << 1
            << std::string("Parsing Error");
        QTest::newRow("message nested later")
            << std::string("<R><ErrCode>7</ErrCode><X><ErrMessage>deep</ErrMessage></X></R>") << 7
            << std::string("deep");
        QTest::newRow("code not a number") << std::string("<R><ErrCode>abc</ErrCode></R>") << 0 << std::string("OK");
        QTest::newRow("blanks and sign") << std::string("<R><ErrCode>  +3x</ErrCode><ErrMessage>m</ErrMessage></R>")
                                         << 3 << std::string("m");
        QTest::newRow("second code replaces")
            << std::string("<R><ErrCode>5</ErrCode><ErrCode>9</ErrCode><ErrMessage>m9</ErrMessage></R>") << 9
            << std::string("m9");
        QTest::newRow("second code zero") << std::string("<R><ErrCode>5</ErrCode><ErrCode>0</ErrCode></R>") << 0
                                          << std::string("OK");
        QTest::newRow("no ErrCode") << std::string("<R><C>1</C></R>") << 1 << std::string("Parsing Error");
        QTest::newRow("empty") << std::string() << 1 << std::string("Parsing Error");
        QTest::newRow("not XML") << std::string("garbage & more") << 1 << std::string("Parsing Error");
        QTest::newRow("cut short keeps what was read")
            << std::string("<R><ErrCode>0</ErrCode><Data>abc") << 0 << std::string("OK");
        // The open cases are never a success.
        QTest::newRow("negative code") << std::string("<R><ErrCode>-4</ErrCode><ErrMessage>m</ErrMessage></R>") << -4
                                       << std::string("Error -4");
        QTest::newRow("empty ErrCode") << std::string("<R><ErrCode></ErrCode></R>") << 1
                                       << std::string("Parsing Error");
        QTest::newRow("empty ErrCode element") << std::string("<R><ErrCode/><ErrMessage>m</ErrMessage></R>") << 1
                                               << std::string("Parsing Error");
        QTest::newRow("empty ErrMessage") << std::string("<R><ErrCode>8</ErrCode><ErrMessage/></R>") << 8
                                          << std::string("Error 8");
        QTest::newRow("huge code saturates")
            << std::string("<R><ErrCode>99999999999999999999</ErrCode><ErrMessage>big</ErrMessage></R>")
            << 2147483647 << std::string("big");
    }
    void replyStatus()
    {
        QFETCH(std::string, reply);
        QFETCH(int, status);
        QFETCH(std::string, message);
        std::string got = "unchanged";
        QCOMPARE(ReplyStatus(reply, got), status);
        QCOMPARE(QString::fromStdString(got), QString::fromStdString(message));
    }

    void hostileRepliesAreRejectedSafely()
    {
        // Nested far deeper than any reply: rejected before the parser can exhaust the stack.
        std::string deep;
        for (int i = 0; i < 200000; ++i)
            deep += "<a>";
        deep += "<ErrCode>0</ErrCode>";
        std::string message;
        QCOMPARE(ReplyStatus(deep, message), 1);
        QCOMPARE(message, std::string("Parsing Error"));
        // A text cut inside a multi-byte sequence at the very end.
        QCOMPARE(ReplyStatus("<R><ErrCode>0</ErrCode><N>\xF4", message), 0);
        QCOMPARE(ReplyStatus("<R><ErrCode>3</ErrCode><ErrMessage>\xF4", message), 3);
    }

    void instrumentInfo()
    {
        std::string type = "t0", fw = "f0", sn = "s0";
        bool ok = false;
        GetInstrumentInfo_Ret_Doc(reply("Instrument", "GetInstrumentInfo",
                                        "<SN>DU0000001001</SN><Type>DUVO 24</Type><Firmware>2.4.1</Firmware>"),
                                  type, fw, sn, ok);
        QVERIFY(ok);
        QCOMPARE(type, std::string("DUVO 24"));
        QCOMPARE(fw, std::string("2.4.1"));
        QCOMPARE(sn, std::string("DU0000001001"));

        // Empty SN: the default; a missing Firmware stops with ok false after Type was read.
        type = "t0", fw = "f0", sn = "s0";
        GetInstrumentInfo_Ret_Doc(reply("Instrument", "GetInstrumentInfo", "<SN/><Type>SV cycler</Type>"), type,
                                  fw, sn, ok);
        QVERIFY(!ok);
        QCOMPARE(sn, std::string("DU0000000000"));
        QCOMPARE(type, std::string("SV cycler"));
        QCOMPARE(fw, std::string("f0"));

        // The command element under another root is not seen.
        GetInstrumentInfo_Ret_Doc(reply("Other", "GetInstrumentInfo", "<SN>x</SN><Type>y</Type><Firmware>z</Firmware>"),
                                  type, fw, sn, ok);
        QVERIFY(!ok);
    }

    void defaultsForEmptyElements()
    {
        std::string status = "x", time = "x", value = "keep";
        bool ok = false;
        Power_Ret_Doc(reply("Instrument", "Power", "<Status/>"), status, ok);
        QVERIFY(ok);
        QCOMPARE(status, std::string("0"));
        GetTime_Ret_Doc(reply("Instrument", "SetTime", "<Time></Time>"), time, ok);
        QVERIFY(ok);
        QCOMPARE(time, std::string("000000000000"));
        GetParameter_Ret_Doc(reply("Instrument", "GetParameter", "<Value/>"), value, ok);
        QVERIFY(ok);
        QCOMPARE(value, std::string("keep"));
    }

    void statusReadsAllNineteenInOrder()
    {
        std::string body;
        for (size_t i = 0; i < InstrumentStatusNames.size(); ++i)
            body += std::string("<") + InstrumentStatusNames[i] + ">v" + std::to_string(i) + "</"
                    + InstrumentStatusNames[i] + ">";
        InstrumentStatus s;
        bool ok = false;
        GetStatus_Ret_Doc(reply("CycleProtocol", "GetStatus", body), s, ok);
        QVERIFY(ok);
        for (size_t i = 0; i < s.size(); ++i)
            QCOMPARE(s[i], "v" + std::to_string(i));
        QCOMPARE(std::string(InstrumentStatusNames[StatusMode]), std::string("Mode"));
        QCOMPARE(std::string(InstrumentStatusNames[StatusState]), std::string("State"));

        // Without State (the last field): ok false, the first 18 read.
        InstrumentStatus t;
        t[StatusState] = "old";
        body = body.substr(0, body.find("<State>"));
        GetStatus_Ret_Doc(reply("CycleProtocol", "GetStatus", body), t, ok);
        QVERIFY(!ok);
        QCOMPARE(t[StatusFile], std::string("v17"));
        QCOMPARE(t[StatusState], std::string("old"));
    }

    void folderList_data()
    {
        QTest::addColumn<std::string>("body");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("dropped");
        QTest::newRow("three with an empty one")
            << std::string("<Folders><Folder>SYSTEM</Folder><Folder/><Folder>DATA!</Folder></Folders>") << true << 2
            << QStringList{"SYSTEM", "DATA!"} << 0;
        QTest::newRow("following siblings of any name")
            << std::string("<Folders><X>no</X><Folder>A</Folder><Other>B</Other></Folders>") << true << 2
            << QStringList{"A", "B"} << 0;
        QTest::newRow("only empty entries") << std::string("<Folders><Folder/></Folders>") << true << 0
                                            << QStringList{} << 0;
        QTest::newRow("no Folder element") << std::string("<Folders></Folders>") << false << -1 << QStringList{} << 0;
        QTest::newRow("no Folders") << std::string("") << false << -1 << QStringList{} << 0;
        // A name longer than its slot is kept whole, never cut into another name.
        QTest::newRow("long name kept whole")
            << std::string("<Folders><Folder>ABCDEFGHIJKLMNOP</Folder></Folders>") << true << 1
            << QStringList{"ABCDEFGHIJKLMNOP"} << 0;
        std::string many = "<Folders>";
        QStringList forty;
        for (int i = 0; i < 42; ++i) {
            many += "<Folder>F" + std::to_string(i) + "</Folder>";
            if (i < 40)
                forty << QStringLiteral("F%1").arg(i);
        }
        many += "</Folders>";
        QTest::newRow("42 entries: 40 kept, 2 dropped") << many << true << 40 << forty << 2;
    }
    void folderList()
    {
        QFETCH(std::string, body);
        QFETCH(bool, ok);
        QFETCH(int, count);
        QFETCH(QStringList, names);
        QFETCH(int, dropped);
        FolderNameTable table;
        int got = -1;
        bool gotOk = !ok;
        DirFolders_Ret_Doc(reply("FileSystem", "Dir", body), table, got, gotOk);
        QCOMPARE(gotOk, ok);
        QCOMPARE(got, count);
        if (!ok)
            return;
        QCOMPARE(table.Count, count);
        QCOMPARE(table.Dropped, dropped);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(QString::fromStdString(table.Names[static_cast<size_t>(i)]), names[i]);
    }

    void fileList()
    {
        FileNameTable table;
        int count = -1;
        bool ok = false;
        DirFiles_Ret_Doc(reply("FileSystem", "Dir", "<Files><File>PCR1</File><File></File><File>LONGNAME9</File></Files>"),
                         table, count, ok);
        QVERIFY(ok);
        QCOMPARE(count, 2);
        QCOMPARE(table.Names[0], std::string("PCR1"));
        QCOMPARE(table.Names[1], std::string("LONGNAME9"));
        // Folders are not files.
        DirFiles_Ret_Doc(reply("FileSystem", "Dir", "<Folders><Folder>A</Folder></Folders>"), table, count, ok);
        QVERIFY(!ok);
    }

    // A reply's status and then its fields are read from one parsed document: the next reply,
    // even one of the same length, must be read afresh, and so must a reply too large to keep.
    void statusThenFieldsReadEachReplyAfresh()
    {
        const std::string first = reply("CycleProtocol", "GetProtocol",
                                        "<Folder>DATA</Folder><File>PCR1</File><Protocol>one</Protocol>");
        const std::string second = reply("CycleProtocol", "GetProtocol",
                                         "<Folder>TEST</Folder><File>PCR2</File><Protocol>two</Protocol>");
        QCOMPARE(first.size(), second.size());
        std::string message, folder, file, protocol;
        bool ok = false;
        QCOMPARE(ReplyStatus(first, message), 0);
        GetProtocol_Ret_Doc(first, folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(folder + "/" + file + "/" + protocol, std::string("DATA/PCR1/one"));
        GetProtocol_Ret_Doc(second, folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(folder + "/" + file + "/" + protocol, std::string("TEST/PCR2/two"));
        // A failed reply after a good one of the same command.
        const std::string failed = "<?xml version=\"1.0\" ?><CycleProtocol><GetProtocol><ErrCode>4</ErrCode>"
                                   "<ErrMessage>Read error</ErrMessage></GetProtocol></CycleProtocol>";
        QCOMPARE(ReplyStatus(failed, message), 4);
        QCOMPARE(message, std::string("Read error"));
        QCOMPARE(ReplyStatus(first, message), 0);
        // Larger than what is kept: read each time, and the kept one stays right.
        const std::string big(300 * 1024, 'x');
        const std::string large = reply("CycleProtocol", "GetProtocol",
                                        "<Folder>BIG</Folder><File>P1</File><Protocol>" + big + "</Protocol>");
        QCOMPARE(ReplyStatus(large, message), 0);
        GetProtocol_Ret_Doc(large, folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(folder + "/" + file, std::string("BIG/P1"));
        QCOMPARE(protocol.size(), big.size());
        GetProtocol_Ret_Doc(first, folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(folder + "/" + file + "/" + protocol, std::string("DATA/PCR1/one"));
    }

    void protocolAndAttr()
    {
        std::string folder, file, protocol, value;
        bool ok = false;
        GetProtocol_Ret_Doc(reply("CycleProtocol", "GetProtocol",
                                  "<Folder>DATA</Folder><File>PCR1</File><Protocol>&lt;P&gt;&#x0A;x</Protocol>"),
                            folder, file, protocol, ok);
        QVERIFY(ok);
        QCOMPARE(protocol, std::string("<P>\nx"));
        LoadProtocol_Ret_Doc(reply("CycleProtocol", "LoadProtocol", "<Folder>D2</Folder><File>F2</File>"), folder, file, ok);
        QVERIFY(ok);
        QCOMPARE(folder + "/" + file, std::string("D2/F2"));
        GetAttr_Ret_Doc(reply("Instrument", "GetAttrValue", "<Value>pw</Value>"), value, ok);
        QVERIFY(ok);
        QCOMPARE(value, std::string("pw"));
        std::string a, b, c, d;
        Test1_Ret_Doc(reply("Communication", "Test1",
                            "<StringA>Test string</StringA><IntA>11656</IntA><FloatA>32.7</FloatA><BooleanA>false</BooleanA>"),
                      a, b, c, d, ok);
        QVERIFY(ok);
        QCOMPARE(a + "|" + b + "|" + c + "|" + d, std::string("Test string|11656|32.7|false"));
    }

    void boardInfoLeavesCode()
    {
        BoardInfo info;
        info[BoardCode] = "caller";
        bool ok = false;
        GetBoardInfo_Ret_Doc(reply("Instrument", "GetBoardInfo",
                                   "<InfoRev>1</InfoRev><Name>AMP</Name><Revision>B</Revision><SN>A7</SN>"
                                   "<Code>fromreply</Code><Date>2024-03-12</Date>"),
                             info, ok);
        QVERIFY(ok);
        QCOMPARE(info[BoardName], std::string("AMP"));
        QCOMPARE(info[BoardSN], std::string("A7"));
        QCOMPARE(info[BoardCode], std::string("caller"));
        QCOMPARE(info[BoardDate], std::string("2024-03-12"));
    }

    void protocolLog()
    {
        const std::string log =
            reply("CycleProtocol", "GetProtocolLog",
                  "<ProtocolLog><StartTime>1700000000</StartTime><RunTime>93.5</RunTime><Path>DATA/PCR1</Path>"
                  "<Errors><Error><Code>E1</Code><ManualCode/><ErrorText>Lid</ErrorText><ActionText>Check</ActionText>"
                  "<Severity>1</Severity><TimeStamp>1700000050</TimeStamp></Error>"
                  "<Error><Code>E2</Code><ManualCode>M</ManualCode><ErrorText/><ActionText/><Severity/><TimeStamp/></Error>"
                  "</Errors></ProtocolLog>");
        std::string start, run, path;
        bool ok = false;
        GetProtocolLog_Ret_Doc(log, start, run, path, ok);
        QVERIFY(ok);
        QCOMPARE(start + "|" + run + "|" + path, std::string("1700000000|93.5|DATA/PCR1"));
        int count = -1;
        GetProtocolLogErrorCount_Ret_Doc(log, count, ok);
        QVERIFY(ok);
        QCOMPARE(count, 2);
        ProtocolLogEntry e;
        GetProtocolLogError_Ret_Doc(log, 0, e, ok);
        QVERIFY(ok);
        QCOMPARE(e.Code + "|" + e.ManualCode + "|" + e.ErrorText + "|" + e.Severity + "|" + e.TimeStamp,
                 std::string("E1|-|Lid|1|1700000050"));
        e.TimeStamp = "kept";
        GetProtocolLogError_Ret_Doc(log, 1, e, ok);
        QVERIFY(ok);
        QCOMPARE(e.Code + "|" + e.ManualCode + "|" + e.ErrorText + "|" + e.ActionText + "|" + e.Severity,
                 std::string("E2|M|-|-|-"));
        QCOMPARE(e.TimeStamp, std::string("kept"));
        GetProtocolLogError_Ret_Doc(log, 2, e, ok);
        QVERIFY(!ok);
        GetProtocolLogError_Ret_Doc(log, -1, e, ok);
        QVERIFY(!ok);

        // No Errors list: count 0, ok; not XML at all: also count 0 and ok.
        const std::string noErrors = reply("CycleProtocol", "GetProtocolLog",
                                           "<ProtocolLog><StartTime>1</StartTime><RunTime>2</RunTime><Path>p</Path></ProtocolLog>");
        GetProtocolLogErrorCount_Ret_Doc(noErrors, count, ok);
        QVERIFY(ok);
        QCOMPARE(count, 0);
        GetProtocolLogErrorCount_Ret_Doc("not xml", count, ok);
        QVERIFY(ok);
        QCOMPARE(count, 0);
    }

    void everyReaderRejectsNonXml_data()
    {
        QTest::addColumn<std::string>("reply");
        QTest::newRow("empty") << std::string();
        QTest::newRow("garbage") << std::string("Duvo command server: internal error\r\n");
        QTest::newRow("other document") << std::string("<?xml version=\"1.0\" ?><Foo><Bar/></Foo>");
    }
    void everyReaderRejectsNonXml()
    {
        QFETCH(std::string, reply);
        std::string a = "a", b = "b", c = "c", d = "d";
        InstrumentStatus s;
        FolderNameTable ft;
        FileNameTable fl;
        BoardInfo bi;
        ProtocolLogEntry pe;
        int n = 0;
        const std::vector<std::pair<const char *, std::function<bool()>>> readers = {
            {"GetInstrumentInfo", [&] { bool ok = true; GetInstrumentInfo_Ret_Doc(reply, a, b, c, ok); return ok; }},
            {"Test1", [&] { bool ok = true; Test1_Ret_Doc(reply, a, b, c, d, ok); return ok; }},
            {"GetStatus", [&] { bool ok = true; GetStatus_Ret_Doc(reply, s, ok); return ok; }},
            {"Power", [&] { bool ok = true; Power_Ret_Doc(reply, a, ok); return ok; }},
            {"GetTime", [&] { bool ok = true; GetTime_Ret_Doc(reply, a, ok); return ok; }},
            {"DirFolders", [&] { bool ok = true; DirFolders_Ret_Doc(reply, ft, n, ok); return ok; }},
            {"DirFiles", [&] { bool ok = true; DirFiles_Ret_Doc(reply, fl, n, ok); return ok; }},
            {"GetParameter", [&] { bool ok = true; GetParameter_Ret_Doc(reply, a, ok); return ok; }},
            {"GetProtocol", [&] { bool ok = true; GetProtocol_Ret_Doc(reply, a, b, c, ok); return ok; }},
            {"LoadProtocol", [&] { bool ok = true; LoadProtocol_Ret_Doc(reply, a, b, ok); return ok; }},
            {"GetAttr", [&] { bool ok = true; GetAttr_Ret_Doc(reply, a, ok); return ok; }},
            {"GetProtocolLog", [&] { bool ok = true; GetProtocolLog_Ret_Doc(reply, a, b, c, ok); return ok; }},
            {"GetProtocolLogError", [&] { bool ok = true; GetProtocolLogError_Ret_Doc(reply, 0, pe, ok); return ok; }},
            {"GetBoardInfo", [&] { bool ok = true; GetBoardInfo_Ret_Doc(reply, bi, ok); return ok; }},
        };
        for (const auto &[name, read] : readers)
            QVERIFY2(!read(), name);
        QCOMPARE(a + b + c + d, std::string("abcd"));
        std::string m;
        QCOMPARE(ReplyStatus(reply, m), 1);
    }
};

QTEST_GUILESS_MAIN(TestCommandDocs)
#include "tst_commanddocs.moc"
