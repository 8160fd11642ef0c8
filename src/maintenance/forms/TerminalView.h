#pragma once
// The terminal control of the serial console: a plain TTY screen.
//
// Keys go out as bytes through bytesTyped (Enter sends CR, Backspace BS, Tab HT, Esc ESC,
// Ctrl+letter its control code); nothing is echoed locally. Received bytes are shown as
// Latin-1 characters: CR returns to column 0, LF starts a new line, BS moves one column left,
// HT moves to the next multiple of eight; other control characters are not shown. A block
// cursor blinks every 400 ms. The scroll-back keeps the newest MaxLines lines.
//
// Feeding is linear in the bytes received and only schedules a repaint; painting draws the
// visible lines only, so megabytes of console output keep the window responsive.

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QTimer>
#include <deque>

class TerminalView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int MaxLines = 5000;
    static constexpr int BlinkMs = 400;

    explicit TerminalView(QWidget *parent = nullptr);

    // Shows bytes received from the port.
    void feed(const QByteArray &bytes);
    void clearScreen();

    // The screen as text, one line per entry (scroll-back included), for tests and copying.
    QStringList lines() const;
    int cursorRow() const { return static_cast<int>(FLines.size()) - 1; }
    int cursorColumn() const { return FColumn; }
    bool cursorShown() const { return FCursorOn; }

signals:
    void bytesTyped(const QByteArray &bytes);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void newLine();
    void putChar(QChar c);
    void updateScrollBar();
    int lineHeight() const;

    std::deque<QString> FLines;
    int FColumn = 0;
    bool FCursorOn = true;
    bool FFollow = true;   // keep the view at the bottom while new text comes
    QTimer FBlink;
};
