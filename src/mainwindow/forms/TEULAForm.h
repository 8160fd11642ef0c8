#pragma once
// The licence text viewer (EULAForm): shows "EULA.DOC" from the program folder (an HTML
// document) and prints it.

#include <QDialog>
#include <QPushButton>
#include <QTextBrowser>

class QPrinter;

class TEULAForm : public QDialog {
    Q_OBJECT
public:
    explicit TEULAForm(QWidget *owner);

    bool loadFailed() const { return FLoadFailed; }

    QTextBrowser *RichEdit1 = nullptr;
    QPushButton *btnPrint = nullptr;
    QPushButton *btnOk = nullptr;

public slots:
    void btnPrintClick();

private:
    bool FLoadFailed = false;
};
