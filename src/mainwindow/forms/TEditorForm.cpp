#include "mainwindow/forms/TEditorForm.h"

#include "common/Prompts.h"
#include "common/forms/PrintPrompt.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPrinter>
#include <QScreen>
#include <QStyle>
#include <QTextCursor>
#include <QVBoxLayout>
#include <exception>

QPointer<TEditorForm> EditorForm;

TEditorForm::TEditorForm(QWidget *owner, const QString &text, bool readOnly) : QDialog(owner)
{
    try {
        buildWindow();
        // The tool bar buttons show only their pictures.
        btnPrint->setText(QString());
        btnCut->setText(QString());
        btnPaste->setText(QString());
        QERichEdit1->setPlainText(text);
        QERichEdit1->setReadOnly(readOnly);
        QERichEdit1->document()->setModified(false);
        QERichEdit1->document()->clearUndoRedoStacks();
        updateActions();
        EditorForm = this;
    } catch (const std::exception &) {
        FLoadFailed = true;
        duvo::Prompts::message(QStringLiteral("Error during loading operation!"), QStringLiteral("Error"), duvo::Ok,
                               duvo::PromptIcon::Warning);
    }
}

TEditorForm::~TEditorForm() = default;

QAction *TEditorForm::addEditAction(const char *name, const QString &caption, const QKeySequence &keys)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(keys);
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
    return a;
}

void TEditorForm::buildWindow()
{
    setObjectName(QStringLiteral("EditorForm"));
    setWindowTitle(QStringLiteral("Editor"));
    // A tool window: small title bar, no entry of its own in the task bar.
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(640, 480);

    PrintDlg1 = addEditAction("PrintDlg1", QStringLiteral("&Print..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    PrintDlg1->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    EditCut1 = addEditAction("EditCut1", QStringLiteral("Cu&t"), QKeySequence(Qt::CTRL | Qt::Key_X));
    EditCut1->setIcon(style()->standardIcon(QStyle::SP_DialogDiscardButton));
    EditCut1->setEnabled(false);
    EditPaste1 = addEditAction("EditPaste1", QStringLiteral("&Paste"), QKeySequence(Qt::CTRL | Qt::Key_V));
    EditPaste1->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
    EditCopy1 = addEditAction("EditCopy1", QStringLiteral("&Copy"), QKeySequence(Qt::CTRL | Qt::Key_C));
    EditSelectAll1 = addEditAction("EditSelectAll1", QStringLiteral("Select &All"), QKeySequence(Qt::CTRL | Qt::Key_A));
    EditUndo1 = addEditAction("EditUndo1", QStringLiteral("&Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EditDelete1 = addEditAction("EditDelete1", QStringLiteral("&Delete"), QKeySequence(Qt::Key_Delete));

    auto *layout = new QVBoxLayout(this);

    auto *toolbar = new QHBoxLayout;
    auto makeButton = [this, toolbar](const char *name, QAction *action) {
        auto *b = new QToolButton(this);
        b->setObjectName(QLatin1String(name));
        // Bound to the action but not its default button, so the caption stays as set.
        b->setText(action->text());
        b->setIcon(action->icon());
        b->setToolTip(action->text().remove(QLatin1Char('&')));
        b->setEnabled(action->isEnabled());
        connect(b, &QToolButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, b, &QToolButton::setEnabled);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setAutoRaise(true);
        toolbar->addWidget(b);
        return b;
    };
    btnPrint = makeButton("btnPrint", PrintDlg1);
    btnCut = makeButton("btnCut", EditCut1);
    btnPaste = makeButton("btnPaste", EditPaste1);
    toolbar->addStretch();
    layout->addLayout(toolbar);

    GroupBox1 = new QGroupBox(QStringLiteral("Notes"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto *groupLayout = new QVBoxLayout(GroupBox1);
    QERichEdit1 = new QPlainTextEdit(GroupBox1);
    QERichEdit1->setObjectName(QStringLiteral("QERichEdit1"));
    QERichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    QERichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QERichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The window's actions own the edit shortcuts.
    QERichEdit1->setContextMenuPolicy(Qt::DefaultContextMenu);
    groupLayout->addWidget(QERichEdit1);
    layout->addWidget(GroupBox1, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    bottom->addWidget(btnOk);
    layout->addLayout(bottom);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(PrintDlg1, &QAction::triggered, this, &TEditorForm::PrintDlg1Accept);
    connect(EditCut1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::cut);
    connect(EditPaste1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::paste);
    connect(EditCopy1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::copy);
    connect(EditSelectAll1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::selectAll);
    connect(EditUndo1, &QAction::triggered, QERichEdit1, &QPlainTextEdit::undo);
    connect(EditDelete1, &QAction::triggered, this, [this] {
        if (QERichEdit1->isReadOnly())
            return;
        QTextCursor c = QERichEdit1->textCursor();
        if (c.hasSelection())
            c.removeSelectedText();
        else
            c.deleteChar();
        QERichEdit1->setTextCursor(c);
    });
    connect(QERichEdit1, &QPlainTextEdit::selectionChanged, this, &TEditorForm::updateActions);
    connect(QERichEdit1, &QPlainTextEdit::undoAvailable, this, &TEditorForm::updateActions);
    connect(QERichEdit1, &QPlainTextEdit::textChanged, this, &TEditorForm::updateActions);
}

void TEditorForm::updateActions()
{
    const bool selection = QERichEdit1->textCursor().hasSelection();
    const bool editable = !QERichEdit1->isReadOnly();
    EditCut1->setEnabled(selection && editable);
    EditCopy1->setEnabled(selection);
    EditPaste1->setEnabled(editable);
    EditDelete1->setEnabled(editable);
    EditUndo1->setEnabled(editable && QERichEdit1->document()->isUndoAvailable());
}

void TEditorForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (FCentred)
        return;
    FCentred = true;
    if (QWidget *owner = parentWidget()) {
        const QPoint centre = owner->mapToGlobal(owner->rect().center());
        move(centre - QPoint(width() / 2, height() / 2));
    }
}

QString TEditorForm::PrintTitle(const TEditorForm *fallback)
{
    if (EditorForm)
        return EditorForm->windowTitle();
    return fallback ? fallback->windowTitle() : QString();
}

void TEditorForm::PrintTo(QPrinter &printer)
{
    printer.setDocName(PrintTitle(this));
    QERichEdit1->document()->setMetaInformation(QTextDocument::DocumentTitle, printer.docName());
    QERichEdit1->print(&printer);
}

void TEditorForm::PrintDlg1Accept()
{
    QPrinter printer(QPrinter::HighResolution);
    if (duvo::askPrinter(printer))
        PrintTo(printer);
}
