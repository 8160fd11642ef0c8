#include "mainwindow/forms/TAboutForm.h"

#include "mainwindow/forms/TEULAForm.h"
#include "mainwindow/forms/TMoreForm.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>

TAboutForm::TAboutForm(QWidget *owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About"));
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(480, 300);

    Image1 = new QLabel;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(72, 72);
    QPixmap mark(72, 72);
    mark.fill(Qt::transparent);
    {
        QPainter p(&mark);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 230));
        p.drawEllipse(4, 4, 64, 64);
        p.setBrush(QColor(0, 92, 160));
        for (int i = 0; i < 4; ++i)
            p.drawRoundedRect(18 + i * 10, 22 + (i % 2) * 8, 6, 28 - (i % 2) * 8, 2, 2);
    }
    Image1->setPixmap(mark);

    auto label = [](const char *name, const QString &text, int pointSize, bool bold) {
        auto *l = new QLabel(text);
        l->setObjectName(QLatin1String(name));
        QFont f = l->font();
        f.setPointSize(pointSize);
        f.setBold(bold);
        l->setFont(f);
        l->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
        return l;
    };
    lblProduct = label("lblProduct", QStringLiteral("Velmor Duvo Studio"), 20, true);
    lblPurpose = label("lblPurpose", QStringLiteral("Workstation for networked Duvo PCR thermal cyclers"), 10, false);
    lblCopyright = label("lblCopyright", QStringLiteral("Copyright \u00A9 Velmor Lab. All rights reserved."), 9, false);
    lblRelease = label("lblRelease", QStringLiteral("Release 1.0.0.10"), 10, true);

    btnOk = new QPushButton(QStringLiteral("Close"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnMore = new QPushButton(QStringLiteral("Versions..."));
    btnMore->setObjectName(QStringLiteral("btnMore"));
    btnLegal = new QPushButton(QStringLiteral("Legal..."));
    btnLegal->setObjectName(QStringLiteral("btnLegal"));

    auto *top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    auto *texts = new QVBoxLayout;
    texts->addWidget(lblProduct);
    texts->addWidget(lblPurpose);
    texts->addSpacing(12);
    texts->addWidget(lblRelease);
    texts->addStretch();
    top->addLayout(texts, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnMore);
    buttons->addWidget(btnLegal);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 28, 28, 22);
    layout->addLayout(top, 1);
    layout->addWidget(lblCopyright);
    layout->addLayout(buttons);

    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnMore, &QPushButton::clicked, this, &TAboutForm::btnMoreClick);
    connect(btnLegal, &QPushButton::clicked, this, &TAboutForm::btnLegalClick);

    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TAboutForm::paintEvent(QPaintEvent *)
{
    // The window's shape: a rounded card with a blue gradient.
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, width(), height());
    g.setColorAt(0, QColor(0, 70, 130));
    g.setColorAt(1, QColor(0, 130, 190));
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 18, 18);
    p.fillPath(path, g);
}

void TAboutForm::btnMoreClick()
{
    TMoreForm form(this);
    form.exec();
}

void TAboutForm::btnLegalClick()
{
    TEULAForm form(this);
    if (!form.loadFailed())
        form.exec();
}
