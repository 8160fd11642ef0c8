#include "protocols/forms/ProtocolPaneView.h"

#include "protocols/ProtocolPane.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace {

// Draws an item's text without its markup.
class PlainItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant plain = index.data(duvo::ProtocolPaneModel::PlainTextRole);
        if (plain.isValid())
            option->text = plain.toString();
    }
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        s.setHeight(qMax(s.height(), 20));
        return s;
    }
};

} // namespace

ProtocolPaneView::ProtocolPaneView(QWidget *parent) : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setItemDelegate(new PlainItemDelegate(this));
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &) { emit itemClicked(); });
}

void ProtocolPaneView::showSelected(int row)
{
    if (!model() || FSyncing)
        return;
    FSyncing = true;
    if (!selectionModel()->property("duvoBound").toBool()) {
        selectionModel()->setProperty("duvoBound", true);
        connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex &current) { currentMoved(current); });
    }
    const QModelIndex at = row >= 0 ? model()->index(row, 0) : QModelIndex();
    if (at.isValid())
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->clear();
    FSyncing = false;
}

void ProtocolPaneView::currentMoved(const QModelIndex &current)
{
    if (FSyncing)
        return;
    FSyncing = true;
    if (FSelect)
        FSelect(current.isValid() ? current.row() : -1);
    FSyncing = false;
    // The original list runs its click handler on keyboard moves too.
    emit itemClicked();
}

void ProtocolPaneView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit keyDown(event->key());
        event->accept();
        return;
    default:
        QListView::keyPressEvent(event);
    }
}

void ProtocolPaneView::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListView::mouseDoubleClickEvent(event);
    if (indexAt(event->position().toPoint()).isValid())
        emit itemDoubleClicked();
}
