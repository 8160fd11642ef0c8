#pragma once
// A round LED lamp: lit in its colour when active, dark grey when not.

#include <QColor>
#include <QWidget>

namespace duvo {

class LedIndicator : public QWidget {
    Q_OBJECT
public:
    explicit LedIndicator(QWidget *parent = nullptr, const QColor &color = QColor(0, 200, 0));
    bool isActive() const { return FActive; }
    void setActive(bool on);
    QColor color() const { return FColor; }
    void setColor(const QColor &color);
    QSize sizeHint() const override { return {16, 16}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor FColor;
    bool FActive = false;
};

} // namespace duvo
