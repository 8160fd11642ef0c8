#pragma once
// The about box (AboutForm): a borderless picture with the release, and the way to the
// version list (TMoreForm) and the licence text (TEULAForm).

#include <QDialog>
#include <QLabel>
#include <QPushButton>

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *owner);

    QLabel *Image1 = nullptr;
    QLabel *lblProduct = nullptr;
    QLabel *lblPurpose = nullptr;
    QLabel *lblCopyright = nullptr;
    QLabel *lblRelease = nullptr;
    QPushButton *btnOk = nullptr;
    QPushButton *btnMore = nullptr;
    QPushButton *btnLegal = nullptr;

public slots:
    void btnMoreClick();
    void btnLegalClick();

protected:
    void paintEvent(QPaintEvent *event) override;
};
