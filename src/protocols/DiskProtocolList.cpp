#include "protocols/DiskProtocolList.h"

#include <QDir>

namespace duvo {

DiskProtocolList::DiskProtocolList(QObject *parent) : QAbstractListModel(parent) {}

void DiskProtocolList::setDirectory(const QString &directory)
{
    QString dir = QDir::fromNativeSeparators(directory);
    while (dir.size() > 1 && dir.endsWith(QLatin1Char('/')))
        dir.chop(1);
    const bool changed = dir != FDirectory;
    FDirectory = dir;
    refresh();
    if (changed)
        emit directoryChanged(FDirectory);
}

void DiskProtocolList::refresh()
{
    beginResetModel();
    FNames.clear();
    FChecked.clear();
    if (!FDirectory.isEmpty()) {
        QDir dir(FDirectory);
        dir.setNameFilters({QStringLiteral("*.svp")});
        dir.setFilter(QDir::Files | QDir::Readable | QDir::Hidden);
        dir.setSorting(QDir::Name | QDir::IgnoreCase);
        // The mask matches without regard to case (".SVP", ".svp", ".Svp").
        FNames = dir.entryList();
        FChecked = QList<bool>(FNames.size(), false);
    }
    endResetModel();
    if (FSelected != -1) {
        FSelected = -1;
        emit selectedChanged(-1);
    }
}

QString DiskProtocolList::path(int i) const
{
    if (i < 0 || i >= count())
        return {};
    return FDirectory.endsWith(QLatin1Char('/')) ? FDirectory + FNames.at(i)
                                                 : FDirectory + QLatin1Char('/') + FNames.at(i);
}

void DiskProtocolList::setChecked(int i, bool on)
{
    if (i < 0 || i >= count() || FChecked.at(i) == on)
        return;
    FChecked[i] = on;
    emit dataChanged(index(i), index(i), {Qt::CheckStateRole});
}

void DiskProtocolList::toggleCheck(int i)
{
    if (i < 0 || i >= count())
        return;
    setChecked(i, !FChecked.at(i));
    emit checkClicked(i);
}

void DiskProtocolList::setSelected(int i)
{
    if (i < -1 || i >= count())
        i = -1;
    if (i == FSelected)
        return;
    FSelected = i;
    emit selectedChanged(i);
}

int DiskProtocolList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant DiskProtocolList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return FNames.at(index.row());
    case Qt::CheckStateRole:
        return FChecked.at(index.row()) ? Qt::Checked : Qt::Unchecked;
    default:
        return {};
    }
}

bool DiskProtocolList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= count())
        return false;
    const bool on = value.toInt() == Qt::Checked;
    if (FChecked.at(index.row()) != on) {
        setChecked(index.row(), on);
        emit checkClicked(index.row());
    }
    return true;
}

Qt::ItemFlags DiskProtocolList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
}

} // namespace duvo
