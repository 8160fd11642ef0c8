#pragma once
// "Browse virtual Protocols": the protocols inside a virtual data file, one row per stored
// protocol (folder, protocol); View Protocol (or a double click) opens the selected one in the
// protocol editor for viewing. An empty protocol opens nothing.

#include <QDialog>

class QPushButton;
class QTreeWidget;

class TVDUBrowseForm : public QDialog {
    Q_OBJECT
public:
    TVDUBrowseForm(QWidget *owner, const QString &path);
    bool loadFailed() const { return FLoadFailed; }

    QTreeWidget *ResultView1 = nullptr;
    QPushButton *btnViewProtocol = nullptr;
    QPushButton *btnCancel = nullptr;

public slots:
    void btnViewProtocolClick();

private:
    QString FPath;
    bool FLoadFailed = false;
};
