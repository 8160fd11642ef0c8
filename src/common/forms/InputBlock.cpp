#include "common/forms/InputBlock.h"

#include <QApplication>
#include <QEvent>
#include <QHash>

namespace duvo {
namespace {
QHash<const QWidget *, int> &blockCounts()
{
    static QHash<const QWidget *, int> counts;
    return counts;
}
} // namespace

InputBlock::InputBlock(QWidget *window) : FWindow(window), FKey(window)
{
    if (!window)
        return;
    ++blockCounts()[window];
    qApp->installEventFilter(this);
}

InputBlock::~InputBlock()
{
    if (qApp)
        qApp->removeEventFilter(this);
    if (!FKey)
        return;
    QHash<const QWidget *, int> &counts = blockCounts();
    auto it = counts.find(FKey);
    if (it != counts.end() && --it.value() <= 0)
        counts.erase(it);
}

bool InputBlock::active(const QWidget *window)
{
    return window && blockCounts().value(window) > 0;
}

bool InputBlock::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
        break;
    default:
        return false;
    }
    if (!FWindow || !watched->isWidgetType())
        return false;
    const QWidget *w = static_cast<QWidget *>(watched);
    return w->window() == FWindow.data();
}

} // namespace duvo
