#include "common/forms/QtPrompts.h"

#include "common/forms/TaskDialogWindow.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace duvo {

namespace {

QMessageBox::Icon messageIcon(PromptIcon icon)
{
    switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Error: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

const struct {
    int ours;
    QMessageBox::StandardButton qt;
} kButtons[] = {
    {Ok, QMessageBox::Ok},       {Cancel, QMessageBox::Cancel}, {Yes, QMessageBox::Yes},
    {No, QMessageBox::No},       {Abort, QMessageBox::Abort},   {Retry, QMessageBox::Retry},
    {Ignore, QMessageBox::Ignore}, {Close, QMessageBox::Close},
};

QtPrompts::PasswordWindow &passwordWindow()
{
    static QtPrompts::PasswordWindow window;
    return window;
}

QWidget *parentWindow()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w)
        w = QApplication::activeWindow();
    return w;
}

} // namespace

void QtPrompts::setPasswordWindow(PasswordWindow window)
{
    passwordWindow() = std::move(window);
}

PromptAnswer QtPrompts::ask(const PromptRequest &r)
{
    PromptAnswer a;
    switch (r.kind) {
    case PromptKind::Message: {
        QMessageBox box(messageIcon(r.icon), r.title, r.text, QMessageBox::NoButton, parentWindow());
        for (const auto &b : kButtons)
            if (r.buttons & b.ours)
                box.addButton(b.qt);
        if (!r.buttons)
            box.addButton(QMessageBox::Ok);
        const int pressed = box.exec();
        a.button = Cancel;
        for (const auto &b : kButtons)
            if (pressed == b.qt)
                a.button = b.ours;
        return a;
    }
    case PromptKind::Task: {
        TaskDialogWindow dialog(r, parentWindow());
        a.button = dialog.run();
        a.radio = dialog.radioChosen();
        return a;
    }
    case PromptKind::OpenFile:
        a.value = QFileDialog::getOpenFileName(parentWindow(), r.title, r.directory, r.filter);
        break;
    case PromptKind::SaveFile: {
        const QString start = r.defaultName.isEmpty() ? r.directory : r.directory + QLatin1Char('/') + r.defaultName;
        if (r.defaultSuffix.isEmpty()) {
            a.value = QFileDialog::getSaveFileName(parentWindow(), r.title, start, r.filter);
            break;
        }
        QFileDialog dialog(parentWindow(), r.title, start, r.filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(r.defaultSuffix);
        if (!r.defaultName.isEmpty())
            dialog.selectFile(r.defaultName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            a.value = dialog.selectedFiles().constFirst();
        break;
    }
    case PromptKind::Folder:
        a.value = QFileDialog::getExistingDirectory(parentWindow(), r.title, r.directory);
        break;
    case PromptKind::Input: {
        if (r.password && !r.expectedPassword.isEmpty() && passwordWindow())
            return passwordWindow()(r, parentWindow());
        bool ok = false;
        a.value = QInputDialog::getText(parentWindow(), r.title, r.text,
                                        r.password ? QLineEdit::Password : QLineEdit::Normal,
                                        r.defaultValue, &ok);
        a.button = ok ? Ok : Cancel;
        return a;
    }
    case PromptKind::Print: {
        if (!r.printer) {
            a.button = Ok;
            return a;
        }
        QPrintDialog dialog(r.printer, parentWindow());
        if (!r.title.isEmpty())
            dialog.setWindowTitle(r.title);
        a.button = dialog.exec() == QDialog::Accepted ? Ok : Cancel;
        return a;
    }
    }
    a.button = a.value.isEmpty() ? Cancel : Ok;
    return a;
}

} // namespace duvo
