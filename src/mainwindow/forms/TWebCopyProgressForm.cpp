#include "mainwindow/forms/TWebCopyProgressForm.h"

#include <QFormLayout>
#include <QVBoxLayout>
#include <algorithm>

TWebCopyProgressForm::TWebCopyProgressForm(QWidget *owner, duvo::WebCopy &copy)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("WebCopyProgress"));
    setWindowTitle(QStringLiteral("Downloading"));
    setMinimumWidth(460);
    auto *form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight);
    auto value = [this](const char *name) {
        auto *l = new QLabel;
        l->setObjectName(QLatin1String(name));
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        l->setWordWrap(true);
        return l;
    };
    lblFile = value("lblFile");
    lblFrom = value("lblFrom");
    lblTo = value("lblTo");
    Progress = new QProgressBar;
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setRange(0, 1000);
    Progress->setValue(0);
    lblRate = value("lblRate");
    lblLeft = value("lblLeft");
    lblElapsed = value("lblElapsed");
    form->addRow(QStringLiteral("File :"), lblFile);
    form->addRow(QStringLiteral("from"), lblFrom);
    form->addRow(QStringLiteral("to"), lblTo);
    form->addRow(QStringLiteral("Progress :"), Progress);
    form->addRow(QStringLiteral("Transfer rate :"), lblRate);
    form->addRow(QStringLiteral("Estimated time left :"), lblLeft);
    form->addRow(QStringLiteral("Elapsed time :"), lblElapsed);
    lblNotice = value("lblNotice");
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lblNotice);

    connect(&copy, &duvo::WebCopy::transferStarted, this, &TWebCopyProgressForm::started);
    connect(&copy, &duvo::WebCopy::transferProgress, this, &TWebCopyProgressForm::progressed);
    connect(&copy, &duvo::WebCopy::transferFinished, this, &TWebCopyProgressForm::finished);
}

QString TWebCopyProgressForm::FormatDuration(qint64 ms)
{
    const qint64 s = std::max<qint64>(0, ms / 1000);
    return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
}

QString TWebCopyProgressForm::FormatRate(double bytesPerSecond)
{
    if (bytesPerSecond >= 1024.0 * 1024.0)
        return QString::number(bytesPerSecond / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB/s");
    return QString::number(bytesPerSecond / 1024.0, 'f', 1) + QStringLiteral(" KB/s");
}

void TWebCopyProgressForm::started(const duvo::WebCopyProgress &p)
{
    lblFile->setText(p.fileName);
    lblFrom->setText(p.address);
    lblTo->setText(p.targetFolder);
    Progress->setValue(0);
    lblRate->setText(FormatRate(0));
    lblLeft->setText(QStringLiteral("--:--:--"));
    lblElapsed->setText(FormatDuration(0));
    lblNotice->setStyleSheet(QString());
    lblNotice->clear();
    show();
    raise();
}

void TWebCopyProgressForm::progressed(const duvo::WebCopyProgress &p)
{
    const double seconds = std::max<qint64>(1, p.elapsedMs) / 1000.0;
    const double rate = p.received / seconds;
    lblRate->setText(FormatRate(rate));
    lblElapsed->setText(FormatDuration(p.elapsedMs));
    if (p.total > 0) {
        Progress->setValue(static_cast<int>(std::min<qint64>(1000, p.received * 1000 / p.total)));
        lblLeft->setText(rate > 0 ? FormatDuration(static_cast<qint64>((p.total - p.received) / rate * 1000.0))
                                  : QStringLiteral("--:--:--"));
    } else {
        Progress->setRange(0, 0);
    }
}

void TWebCopyProgressForm::finished(bool ok, const QString &notice)
{
    Progress->setRange(0, 1000);
    if (ok)
        Progress->setValue(1000);
    lblNotice->setStyleSheet(ok ? QString() : QStringLiteral("color: #c00000;"));
    lblNotice->setText(ok ? notice : QStringLiteral("Download failed: ") + notice);
}
