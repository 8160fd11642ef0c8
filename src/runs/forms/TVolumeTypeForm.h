#pragma once
// "Run Details": the modal dialog the run road shows after the protocol navigator and before
// the run monitor. It asks for the consumable, the sample volume, contact, description, notes
// and, when e-mail notification is on, whether and where to send the alert. The results are
// written through the pointers only by OK.

#include <QDialog>
#include <QString>

class QAction;
class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QRadioButton;
class QSpinBox;
class QToolButton;
class QPushButton;

class TVolumeTypeForm : public QDialog {
    Q_OBJECT
public:
    TVolumeTypeForm(QWidget *owner, const QString &type, int *consumable, int *volume, QString *contact,
                    QString *description, QString *notes, QString *email, bool *sendMail, bool mailEnabled);
    ~TVolumeTypeForm() override;

    QSpinBox *edtVolume = nullptr;
    QRadioButton *rbtnPlate = nullptr;
    QRadioButton *rbtnTubes = nullptr;
    QLineEdit *edtContact = nullptr;
    QLineEdit *edtDescription = nullptr;
    QPlainTextEdit *QERichEdit1 = nullptr;
    QToolButton *btnPrint = nullptr;
    QToolButton *btnCut = nullptr;
    QToolButton *btnPaste = nullptr;
    QLineEdit *EmailEdit1 = nullptr;
    QCheckBox *EmailBox1 = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnCancel = nullptr;
    QAction *PrintDlg1 = nullptr;
    QAction *EditCut1 = nullptr;
    QAction *EditPaste1 = nullptr;
    QAction *EditCopy1 = nullptr;
    QAction *EditSelectAll1 = nullptr;
    QAction *EditUndo1 = nullptr;
    QAction *EditDelete1 = nullptr;

    bool loadFailed() const { return FLoadFailed; }
    // Prints the notes on a printer already set up, titled with the caption.
    void PrintTo(QPrinter &printer);

public slots:
    void btnOkClick();
    // The print dialog through the prompt service; accepted, the notes are printed.
    void PrintDlg1Accept();

private:
    void build();
    void applyType();

    QString FType;
    int *FConsumable;
    int *FVolume;
    QString *FContact;
    QString *FDescription;
    QString *FNotes;
    QString *FEmail;
    bool *FSendMail;
    bool FLoadFailed = false;
};

// The run details dialog while it exists.
extern TVolumeTypeForm *VolumeTypeForm;
