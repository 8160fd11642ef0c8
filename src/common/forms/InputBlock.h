#pragma once
// Keeps a window from taking input while it works (a listing, a tree build, a search): mouse
// buttons, wheel and keys aimed at the window or its controls are swallowed while a block is
// alive. Paint, timers and the close box still work, and other windows (the boxes an
// operation shows, even when owned by this window) take input as usual. Blocks nest.
//
//   void TProtNavForm::ListBox1Click()
//   {
//       if (InputBlock::active(this)) return;   // a re-entered handler does nothing
//       InputBlock block(this);
//       ... exchanges that process events while they wait ...
//   }

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace duvo {

class InputBlock : public QObject {
public:
    explicit InputBlock(QWidget *window);
    ~InputBlock() override;
    InputBlock(const InputBlock &) = delete;
    InputBlock &operator=(const InputBlock &) = delete;

    // True while a block of this window is alive.
    static bool active(const QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> FWindow;
    const QWidget *FKey = nullptr;  // the count's key, also once the window is gone
};

} // namespace duvo
