#pragma once
// "Raw Protocol Viewer": the protocol text as the editor was given it (compacted to one line).
// On opening it also writes the text to "RawDuvoTemp.xml" in the program folder and opens that
// file with the desktop's viewer. Copy, Save (".xml" files, default suffix "doc") and Print
// ("Duvo Protocol"); their errors end them quietly.

#include <QDialog>

class QPlainTextEdit;
class QPrinter;
class QPushButton;

class TRawProtocolForm : public QDialog {
    Q_OBJECT
public:
    TRawProtocolForm(QWidget *Owner, const QString &protocolText);

    // The temporary file of the raw view.
    static QString TempFileName();
    // Writes each line of the control followed by CR LF, replacing the file; false when the
    // file cannot be opened.
    bool WriteLines(const QString &path) const;
    void PrintTo(QPrinter &printer);

    void btnCopyClick();
    void btnSaveClick();
    void btnPrintClick();

    QPlainTextEdit *AdvMemo1 = nullptr;
    QPushButton *btnClose = nullptr;
    QPushButton *btnCopy = nullptr;
    QPushButton *btnSave = nullptr;
    QPushButton *btnPrint = nullptr;
};
