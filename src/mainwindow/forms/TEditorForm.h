#pragma once
// The one text window of the workstation (EditorForm): run log reports, skipped-files
// reports, notes and stored run logs are shown in it. The caller constructs it with itself as
// owner, may set the caption and hide the cut and paste buttons, shows it (modally or not) and
// deletes it. The text is never handed back.

#include <QAction>
#include <QDialog>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QString>
#include <QToolButton>

class QPrinter;
class TEditorForm;

// The editor window constructed last (null once it is gone); its caption is the title of
// every printout.
extern QPointer<TEditorForm> EditorForm;

class TEditorForm : public QDialog {
    Q_OBJECT
public:
    TEditorForm(QWidget *owner, const QString &text, bool readOnly);
    ~TEditorForm() override;

    bool loadFailed() const { return FLoadFailed; }

    // Prints the text to the printer as set up; the title is the caption of EditorForm.
    void PrintTo(QPrinter &printer);
    // The document title a printout gets now.
    static QString PrintTitle(const TEditorForm *fallback);

    QGroupBox *GroupBox1 = nullptr;  // "Notes"
    QPlainTextEdit *QERichEdit1 = nullptr;
    QToolButton *btnPrint = nullptr;
    QToolButton *btnCut = nullptr;
    QToolButton *btnPaste = nullptr;
    QPushButton *btnOk = nullptr;

    QAction *PrintDlg1 = nullptr;
    QAction *EditCut1 = nullptr;
    QAction *EditPaste1 = nullptr;
    QAction *EditCopy1 = nullptr;
    QAction *EditSelectAll1 = nullptr;
    QAction *EditUndo1 = nullptr;
    QAction *EditDelete1 = nullptr;

public slots:
    // Asks for the printer through the prompt service; prints when the dialog is accepted.
    void PrintDlg1Accept();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildWindow();
    void updateActions();
    QAction *addEditAction(const char *name, const QString &caption, const QKeySequence &keys);

    bool FLoadFailed = false;
    bool FCentred = false;
};
