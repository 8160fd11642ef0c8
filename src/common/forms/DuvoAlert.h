#pragma once
// The pop-up notice (DuvoAlert1): a small frameless window, always on top, at the lower right
// corner of the screen; it shows one message for 5000 ms and hides itself.

#include <QLabel>
#include <QTimer>
#include <QWidget>

namespace duvo {

class DuvoAlert : public QWidget {
    Q_OBJECT
public:
    explicit DuvoAlert(QWidget *parent = nullptr);
    void ShowText(const QString &text);
    QString text() const { return FLabel->text(); }
    int displayMs() const { return FHide.interval(); }

private:
    QLabel *FLabel;
    QTimer FHide;
};

} // namespace duvo
