#include "maintenance/forms/TerminalView.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

TerminalView::TerminalView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("VaTerminal1"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    setFont(font);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(true);
    QPalette p = viewport()->palette();
    p.setColor(QPalette::Base, Qt::black);
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::Text, QColor(0xd0, 0xd0, 0xd0));
    viewport()->setPalette(p);
    FLines.emplace_back();
    FBlink.setInterval(BlinkMs);
    connect(&FBlink, &QTimer::timeout, this, [this] {
        FCursorOn = !FCursorOn;
        viewport()->update();
    });
    FBlink.start();
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        FFollow = value >= verticalScrollBar()->maximum();
    });
}

int TerminalView::lineHeight() const
{
    return fontMetrics().lineSpacing();
}

void TerminalView::newLine()
{
    FLines.emplace_back();
    FColumn = 0;
    while (FLines.size() > static_cast<size_t>(MaxLines))
        FLines.pop_front();
}

void TerminalView::putChar(QChar c)
{
    QString &line = FLines.back();
    if (FColumn < line.size()) {
        line[FColumn] = c;
    } else {
        if (FColumn > line.size())
            line.append(QString(FColumn - line.size(), QLatin1Char(' ')));
        line.append(c);
    }
    ++FColumn;
}

void TerminalView::feed(const QByteArray &bytes)
{
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case '\r':
            FColumn = 0;
            break;
        case '\n':
            newLine();
            break;
        case '\b':
            if (FColumn > 0)
                --FColumn;
            break;
        case '\t':
            FColumn = (FColumn / 8 + 1) * 8;
            break;
        default:
            if (b >= 0x20 && b != 0x7f)
                putChar(QChar(b));
            break;
        }
    }
    FCursorOn = true;
    updateScrollBar();
    viewport()->update();
}

void TerminalView::clearScreen()
{
    FLines.clear();
    FLines.emplace_back();
    FColumn = 0;
    updateScrollBar();
    viewport()->update();
}

QStringList TerminalView::lines() const
{
    QStringList out;
    for (const QString &l : FLines)
        out << l;
    return out;
}

void TerminalView::updateScrollBar()
{
    const int visible = std::max(1, viewport()->height() / std::max(1, lineHeight()));
    const int maximum = std::max(0, static_cast<int>(FLines.size()) - visible);
    const bool follow = FFollow;
    QScrollBar *bar = verticalScrollBar();
    bar->setRange(0, maximum);
    bar->setPageStep(visible);
    if (follow)
        bar->setValue(maximum);
    FFollow = follow;
}

void TerminalView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBar();
}

void TerminalView::paintEvent(QPaintEvent *)
{
    QPainter p(viewport());
    const QPalette pal = viewport()->palette();
    p.fillRect(viewport()->rect(), pal.color(QPalette::Base));
    p.setFont(font());
    p.setPen(pal.color(QPalette::Text));
    const QFontMetrics fm = fontMetrics();
    const int h = lineHeight();
    const int first = verticalScrollBar()->value();
    const int rows = viewport()->height() / std::max(1, h) + 1;
    const int margin = 2;
    for (int r = 0; r < rows; ++r) {
        const size_t index = static_cast<size_t>(first + r);
        if (index >= FLines.size())
            break;
        p.drawText(margin, margin + r * h + fm.ascent(), FLines[index]);
    }
    const int cursorRow = static_cast<int>(FLines.size()) - 1 - first;
    if (FCursorOn && hasFocus() && cursorRow >= 0 && cursorRow < rows) {
        const int cw = fm.horizontalAdvance(QLatin1Char('M'));
        const QRect block(margin + FColumn * cw, margin + cursorRow * h, cw, h);
        p.fillRect(block, pal.color(QPalette::Text));
        const QString &line = FLines.back();
        if (FColumn < line.size()) {
            p.setPen(pal.color(QPalette::Base));
            p.drawText(block.left(), block.top() + fm.ascent(), QString(line[FColumn]));
        }
    }
}

void TerminalView::keyPressEvent(QKeyEvent *event)
{
    QByteArray out;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        out = "\r";
        break;
    case Qt::Key_Backspace:
        out = "\b";
        break;
    case Qt::Key_Tab:
        out = "\t";
        break;
    case Qt::Key_Escape:
        out = "\x1b";
        break;
    default:
        out = event->text().toLatin1();
        break;
    }
    if (out.isEmpty()) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    emit bytesTyped(out);
}

bool TerminalView::focusNextPrevChild(bool)
{
    return false;  // Tab belongs to the console
}

void TerminalView::focusInEvent(QFocusEvent *event)
{
    FCursorOn = true;
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void TerminalView::focusOutEvent(QFocusEvent *event)
{
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}
