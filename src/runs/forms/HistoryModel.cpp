#include "runs/forms/HistoryModel.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <algorithm>

using namespace duvo;

namespace {

constexpr char kUnchecked = 0;
constexpr char kChecked = 1;
constexpr char kRemoved = 2;

QIcon drawnIcon(const QColor &fill, bool tick)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A small record sheet, with a tick when the run is marked.
    p.setPen(QColor(90, 90, 90));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1.5, 1.5);
    p.setPen(QPen(QColor(120, 120, 120), 1));
    for (int y : {5, 8, 11})
        p.drawLine(QPointF(5, y), QPointF(11, y));
    if (tick) {
        p.setPen(QPen(QColor(200, 30, 30), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(4, 8), QPointF(7, 12), QPointF(13, 3)}));
    }
    return QIcon(pm);
}

} // namespace

HistoryModel::HistoryModel(QObject *parent) : QAbstractTableModel(parent) {}

const QList<QIcon> &HistoryModel::images()
{
    static const QList<QIcon> list{drawnIcon(QColor(255, 255, 255), false), drawnIcon(QColor(230, 240, 255), false),
                                   drawnIcon(QColor(255, 250, 220), false), drawnIcon(QColor(255, 235, 235), true)};
    return list;
}

void HistoryModel::setRows(std::vector<HistoryRow> rows)
{
    beginResetModel();
    FRows = std::move(rows);
    FChecked.assign(FRows.size(), kUnchecked);
    FCheckedCount = 0;
    FRemovedCount = 0;
    endResetModel();
    emit checkedCountChanged(0);
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FRows.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(FRows.size()))
        return {};
    const HistoryRow &r = FRows[size_t(index.row())];
    const int column = index.column();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        switch (column) {
        case SessionColumn:
            return r.sessionId;
        case ProtocolColumn:
            return r.file;
        case DateColumn:
            return RunDateText(r.date);
        case ContactColumn:
            return r.contactName;
        case DescriptionColumn:
            return r.description;
        }
    } else if (column == SessionColumn && role == Qt::CheckStateRole) {
        return FChecked[size_t(index.row())] == kChecked ? Qt::Checked : Qt::Unchecked;
    } else if (column == SessionColumn && role == Qt::DecorationRole) {
        return images().at(FChecked[size_t(index.row())] == kChecked ? 3 : 0);
    }
    return {};
}

bool HistoryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != SessionColumn || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags HistoryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == SessionColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ProtocolColumn:
        return QStringLiteral("Protocol");
    case DateColumn:
        return QStringLiteral("Date");
    case ContactColumn:
        return QStringLiteral("Contact");
    case DescriptionColumn:
        return QStringLiteral("Description");
    }
    return QString();
}

void HistoryModel::setChecked(int index, bool on)
{
    if (index < 0 || index >= int(FRows.size()))
        return;
    char &state = FChecked[size_t(index)];
    if (state == kRemoved || (state == kChecked) == on)
        return;
    state = on ? kChecked : kUnchecked;
    FCheckedCount += on ? 1 : -1;
    const QModelIndex cell = this->index(index, SessionColumn);
    emit dataChanged(cell, cell, {Qt::CheckStateRole, Qt::DecorationRole});
    emit checkedCountChanged(FCheckedCount);
}

void HistoryModel::setAllChecked(bool on)
{
    const char want = on ? kChecked : kUnchecked;
    int count = 0;
    for (char &state : FChecked) {
        if (state != kRemoved) {
            state = want;
            ++count;
        }
    }
    FCheckedCount = on ? count : 0;
    if (!FRows.empty())
        emit dataChanged(index(0, SessionColumn), index(int(FRows.size()) - 1, SessionColumn),
                         {Qt::CheckStateRole, Qt::DecorationRole});
    emit checkedCountChanged(FCheckedCount);
}

int HistoryModel::firstChecked(int from) const
{
    for (size_t i = size_t(std::max(0, from)); i < FChecked.size(); ++i)
        if (FChecked[i] == kChecked)
            return int(i);
    return -1;
}

void HistoryModel::markRemoved(int index)
{
    if (index < 0 || index >= int(FRows.size()) || FChecked[size_t(index)] == kRemoved)
        return;
    if (FChecked[size_t(index)] == kChecked)
        --FCheckedCount;
    FChecked[size_t(index)] = kRemoved;
    ++FRemovedCount;
}

void HistoryModel::flushRemoved()
{
    if (FRemovedCount == 0)
        return;
    // One contiguous block (the usual case: the checked runs from the top) is one removal;
    // anything else is one reset.
    size_t first = FChecked.size(), last = 0;
    for (size_t i = 0; i < FChecked.size(); ++i)
        if (FChecked[i] == kRemoved) {
            first = std::min(first, i);
            last = i;
        }
    const bool contiguous = last - first + 1 == size_t(FRemovedCount);
    if (contiguous)
        beginRemoveRows({}, int(first), int(last));
    else
        beginResetModel();
    size_t out = 0;
    for (size_t i = 0; i < FRows.size(); ++i) {
        if (FChecked[i] == kRemoved)
            continue;
        if (out != i) {
            FRows[out] = std::move(FRows[i]);
            FChecked[out] = FChecked[i];
        }
        ++out;
    }
    FRows.resize(out);
    FChecked.resize(out);
    FRemovedCount = 0;
    if (contiguous)
        endRemoveRows();
    else
        endResetModel();
    emit checkedCountChanged(FCheckedCount);
}
