#include "runs/forms/TVolumeTypeForm.h"

#include "common/Prompts.h"
#include "common/forms/PrintPrompt.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

TVolumeTypeForm *VolumeTypeForm = nullptr;

namespace {

// The notes tool bar's pictures, drawn here so they show on every desktop theme.
QIcon toolIcon(char kind)
{
    QPixmap pm(20, 20);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1.2));
    if (kind == 'P') {  // printer
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5.5, 2.5, 9, 6));
        p.setBrush(QColor(120, 130, 150));
        p.drawRoundedRect(QRectF(2.5, 7.5, 15, 7), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5.5, 12.5, 9, 5));
    } else if (kind == 'X') {  // scissors
        p.drawEllipse(QRectF(3, 12, 5, 5));
        p.drawEllipse(QRectF(12, 12, 5, 5));
        p.drawLine(QPointF(7, 12.5), QPointF(14, 2.5));
        p.drawLine(QPointF(13, 12.5), QPointF(6, 2.5));
    } else {  // clipboard
        p.setBrush(QColor(190, 150, 90));
        p.drawRoundedRect(QRectF(3.5, 3.5, 13, 15), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 6.5, 7, 9));
        p.setBrush(QColor(120, 120, 120));
        p.drawRect(QRectF(7.5, 1.5, 5, 3));
    }
    return QIcon(pm);
}

} // namespace

TVolumeTypeForm::TVolumeTypeForm(QWidget *owner, const QString &type, int *consumable, int *volume,
                                 QString *contact, QString *description, QString *notes, QString *email,
                                 bool *sendMail, bool mailEnabled)
    : QDialog(owner),
      FType(type),
      FConsumable(consumable),
      FVolume(volume),
      FContact(contact),
      FDescription(description),
      FNotes(notes),
      FEmail(email),
      FSendMail(sendMail)
{
    VolumeTypeForm = this;
    build();
    try {
        // The tool bar shows only its pictures.
        btnPrint->setText(QString());
        btnCut->setText(QString());
        btnPaste->setText(QString());
        if (!mailEnabled) {
            EmailBox1->setEnabled(false);
            EmailEdit1->setEnabled(false);
        }
        applyType();
    } catch (const std::exception &) {
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
        FLoadFailed = true;
    }
}

TVolumeTypeForm::~TVolumeTypeForm()
{
    if (VolumeTypeForm == this)
        VolumeTypeForm = nullptr;
}

void TVolumeTypeForm::applyType()
{
    if (FType == QLatin1String("DUVO 24")) {
        rbtnPlate->setEnabled(true);
        rbtnPlate->setChecked(true);
        rbtnTubes->setEnabled(true);
        edtVolume->setMaximum(50);
    } else if (FType == QLatin1String("DUVO 96")) {
        rbtnPlate->setEnabled(true);
        rbtnPlate->setChecked(true);
        rbtnTubes->setEnabled(false);
        edtVolume->setMaximum(20);
    }
    // Any other type keeps the form's state: neither consumable chosen, 5 to 50.
}

void TVolumeTypeForm::build()
{
    setObjectName(QStringLiteral("VolumeTypeForm"));
    setWindowTitle(QStringLiteral("Run Details"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto *consumables = new QGroupBox(QStringLiteral("Consumables"));
    auto *typeBox = new QGroupBox(QStringLiteral("Type"));
    rbtnPlate = new QRadioButton(QStringLiteral("Plate"));
    rbtnPlate->setObjectName(QStringLiteral("rbtnPlate"));
    rbtnTubes = new QRadioButton(QStringLiteral("Tubes"));
    rbtnTubes->setObjectName(QStringLiteral("rbtnTubes"));
    auto *typeLayout = new QVBoxLayout(typeBox);
    typeLayout->addWidget(rbtnPlate);
    typeLayout->addWidget(rbtnTubes);
    auto *volumeBox = new QGroupBox(QStringLiteral("Volume µl"));
    edtVolume = new QSpinBox;
    edtVolume->setObjectName(QStringLiteral("edtVolume"));
    edtVolume->setRange(5, 50);
    edtVolume->setValue(10);
    edtVolume->setToolTip(QStringLiteral("Enter the amount of micro liters"));
    edtVolume->setMinimumWidth(70);
    auto *volumeLayout = new QVBoxLayout(volumeBox);
    volumeLayout->addWidget(edtVolume);
    volumeLayout->addStretch();
    auto *consumablesLayout = new QHBoxLayout(consumables);
    consumablesLayout->addWidget(typeBox);
    consumablesLayout->addWidget(volumeBox);

    edtContact = new QLineEdit;
    edtContact->setObjectName(QStringLiteral("edtContact"));
    edtDescription = new QLineEdit;
    edtDescription->setObjectName(QStringLiteral("edtDescription"));
    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Contact Name"), edtContact);
    fields->addRow(QStringLiteral("Description"), edtDescription);

    // The notes with their tool bar and edit actions.
    auto *notesBox = new QGroupBox(QStringLiteral("Notes"));
    QERichEdit1 = new QPlainTextEdit;
    QERichEdit1->setObjectName(QStringLiteral("QERichEdit1"));
    QERichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QERichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QERichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QERichEdit1->setMinimumHeight(120);
    const auto action = [this](const char *name, const QString &text, const QKeySequence &keys) {
        auto *a = new QAction(text, this);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(a);
        return a;
    };
    PrintDlg1 = action("PrintDlg1", QStringLiteral("Print"), QKeySequence(QStringLiteral("Ctrl+P")));
    PrintDlg1->setIcon(toolIcon('P'));
    EditCut1 = action("EditCut1", QStringLiteral("Cut"), QKeySequence(QStringLiteral("Ctrl+X")));
    EditCut1->setIcon(toolIcon('X'));
    EditPaste1 = action("EditPaste1", QStringLiteral("Paste"), QKeySequence(QStringLiteral("Ctrl+V")));
    EditPaste1->setIcon(toolIcon('V'));
    EditCopy1 = action("EditCopy1", QStringLiteral("Copy"), QKeySequence(QStringLiteral("Ctrl+C")));
    EditSelectAll1 = action("EditSelectAll1", QStringLiteral("Select All"), QKeySequence(QStringLiteral("Ctrl+A")));
    EditUndo1 = action("EditUndo1", QStringLiteral("Undo"), QKeySequence(QStringLiteral("Ctrl+Z")));
    EditDelete1 = action("EditDelete1", QStringLiteral("Delete"), QKeySequence(Qt::Key_Delete));
    // The line edits handle these keys themselves while they have the focus.
    for (QAction *a : {EditCut1, EditPaste1, EditCopy1, EditSelectAll1, EditUndo1, EditDelete1})
        a->setShortcutContext(Qt::WidgetShortcut);
    QERichEdit1->addActions({EditCut1, EditPaste1, EditCopy1, EditSelectAll1, EditUndo1, EditDelete1});
    connect(PrintDlg1, &QAction::triggered, this, &TVolumeTypeForm::PrintDlg1Accept);
    connect(EditCut1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::cut);
    connect(EditPaste1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::paste);
    connect(EditCopy1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::copy);
    connect(EditSelectAll1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::selectAll);
    connect(EditUndo1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::undo);
    connect(EditDelete1, &QAction::triggered, QERichEdit1,
            [this] { QERichEdit1->textCursor().removeSelectedText(); });
    const auto toolButton = [](const char *name, QAction *a) {
        auto *b = new QToolButton;
        b->setObjectName(QLatin1String(name));
        b->setDefaultAction(a);
        b->setAutoRaise(true);
        b->setIconSize(QSize(20, 20));
        b->setToolTip(a->text());
        return b;
    };
    btnPrint = toolButton("btnPrint", PrintDlg1);
    btnCut = toolButton("btnCut", EditCut1);
    btnPaste = toolButton("btnPaste", EditPaste1);
    auto *toolBar = new QHBoxLayout;
    toolBar->setSpacing(2);
    toolBar->addWidget(btnPrint);
    toolBar->addWidget(btnCut);
    toolBar->addWidget(btnPaste);
    toolBar->addStretch();
    auto *notesLayout = new QVBoxLayout(notesBox);
    notesLayout->addLayout(toolBar);
    notesLayout->addWidget(QERichEdit1);

    EmailEdit1 = new QLineEdit;
    EmailEdit1->setObjectName(QStringLiteral("EmailEdit1"));
    EmailBox1 = new QCheckBox(QStringLiteral("Send E-mail Notification"));
    EmailBox1->setObjectName(QStringLiteral("EmailBox1"));
    auto *mail = new QFormLayout;
    mail->addRow(QStringLiteral("E-mail Address"), EmailEdit1);
    mail->addRow(QString(), EmailBox1);

    btnOk = new QPushButton(QStringLiteral("OK"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &TVolumeTypeForm::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(consumables);
    layout->addLayout(fields);
    layout->addWidget(notesBox, 1);
    layout->addLayout(mail);
    layout->addLayout(buttons);
    resize(420, 520);
}

void TVolumeTypeForm::btnOkClick()
{
    *FConsumable = rbtnPlate->isChecked() ? 1 : 0;
    *FVolume = edtVolume->text().toInt();
    const QString contact = edtContact->text();
    *FContact = contact.isEmpty() ? QStringLiteral("-") : contact;
    const QString description = edtDescription->text();
    *FDescription = description.isEmpty() ? QStringLiteral("-") : description;
    const QString notes = QERichEdit1->toPlainText();
    *FNotes = notes.isEmpty() ? QStringLiteral("No Notes found") : notes;
    *FSendMail = EmailBox1->isChecked();
    if (EmailBox1->isChecked()) {
        const QString address = EmailEdit1->text();
        if (address.isEmpty()) {
            duvo::Prompts::message(QStringLiteral("E-mail Address field is empty!"), QStringLiteral("Run Details"),
                                   duvo::Ok, duvo::PromptIcon::Warning);
            return;
        }
        if (!address.contains(QLatin1Char('@'))) {
            duvo::Prompts::message(QStringLiteral("E-mail Address not correct syntax!"), QStringLiteral("Run Details"),
                                   duvo::Ok, duvo::PromptIcon::Warning);
            return;
        }
        *FEmail = address;
    }
    accept();
}

void TVolumeTypeForm::PrintTo(QPrinter &printer)
{
    printer.setDocName(windowTitle());
    QERichEdit1->document()->setMetaInformation(QTextDocument::DocumentTitle, windowTitle());
    QERichEdit1->print(&printer);
}

void TVolumeTypeForm::PrintDlg1Accept()
{
    QPrinter printer(QPrinter::HighResolution);
    if (duvo::askPrinter(printer))
        PrintTo(printer);
}
