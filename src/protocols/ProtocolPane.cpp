#include "protocols/ProtocolPane.h"

#include "protocols/DeviceFileOperations.h"

#include <vector>

namespace duvo {

QString EscapeItemText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '&': out += QStringLiteral("&amp;"); break;
        case '<': out += QStringLiteral("&lt;"); break;
        case '>': out += QStringLiteral("&gt;"); break;
        case '"': out += QStringLiteral("&quot;"); break;
        default: out += c;
        }
    }
    return out;
}

QString InstrumentText(const std::string &text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString RootFolderItem(const QString &name)
{
    return QStringLiteral("<IMG src=\"folder_ico\" align=\"bottom\"><ind x=\"24\">") + EscapeItemText(name);
}

QString SecureRootFolderItem(const QString &listedName)
{
    const qsizetype mark = listedName.indexOf(QLatin1Char('!'));
    return QStringLiteral("<IMG src=\"folder_information_ico\" align=\"bottom\"><ind x=\"24\">")
           + EscapeItemText(mark < 0 ? listedName : listedName.left(mark));
}

QString FolderItemFor(const QString &listedName)
{
    return listedName.contains(QLatin1Char('!')) ? SecureRootFolderItem(listedName) : RootFolderItem(listedName);
}

QString ParentFolderItem()
{
    return QStringLiteral("<IMG src=\"folder_ico\" align=\"bottom\">..");
}

QString ProtocolFileItem(const QString &name)
{
    return QStringLiteral("<IMG src=\"document_ico\" align=\"bottom\"><ind x=\"24\">") + EscapeItemText(name);
}

// ---- ProtocolPaneModel --------------------------------------------------------------------

ProtocolPaneModel::ProtocolPaneModel(QObject *parent) : QAbstractListModel(parent) {}

QString ProtocolPaneModel::itemMarkup(int i) const
{
    return (i >= 0 && i < count()) ? FItems.at(i).markup : QString();
}

QString ProtocolPaneModel::itemText(int i) const
{
    return (i >= 0 && i < count()) ? FItems.at(i).text : QString();
}

QStringList ProtocolPaneModel::markups() const
{
    QStringList out;
    out.reserve(count());
    for (const Item &item : FItems)
        out << item.markup;
    return out;
}

bool ProtocolPaneModel::isHeader(int i) const
{
    return i >= 0 && i < count() && FItems.at(i).header;
}

bool ProtocolPaneModel::isChecked(int i) const
{
    return i >= 0 && i < count() && FItems.at(i).checked;
}

void ProtocolPaneModel::setChecked(int i, bool on)
{
    if (i < 0 || i >= count() || FItems[i].checked == on)
        return;
    FItems[i].checked = on;
    const QModelIndex at = index(i);
    emit dataChanged(at, at, {Qt::CheckStateRole});
}

void ProtocolPaneModel::toggleCheck(int i)
{
    if (i < 0 || i >= count())
        return;
    setChecked(i, !FItems.at(i).checked);
    emit checkClicked(i);
}

bool ProtocolPaneModel::anyChecked() const
{
    for (const Item &item : FItems)
        if (item.checked)
            return true;
    return false;
}

bool ProtocolPaneModel::present(const QString &name) const
{
    for (const Item &item : FItems)
        if (item.text == name)
            return true;
    return false;
}

void ProtocolPaneModel::clear()
{
    beginResetModel();
    FItems.clear();
    endResetModel();
    if (FSelected != -1) {
        FSelected = -1;
        emit selectedChanged(-1);
    }
}

void ProtocolPaneModel::addItem(const QString &markup, bool header)
{
    beginInsertRows({}, count(), count());
    FItems.append(Item{markup, ListItemPlainText(markup), header || FAllHeaders, false});
    endInsertRows();
}

void ProtocolPaneModel::addItems(const QStringList &markups)
{
    if (markups.isEmpty())
        return;
    beginInsertRows({}, count(), count() + int(markups.size()) - 1);
    FItems.reserve(FItems.size() + markups.size());
    for (const QString &markup : markups)
        FItems.append(Item{markup, ListItemPlainText(markup), FAllHeaders, false});
    endInsertRows();
}

void ProtocolPaneModel::showItems(const QString &header, const QStringList &markups)
{
    const auto same = [this](const Item &item, const QString &markup, bool isHeader) {
        return item.markup == markup && item.header == (isHeader || FAllHeaders);
    };
    if (FItems.isEmpty() || !same(FItems.front(), header, true)) {
        if (!FItems.isEmpty())
            clear();
        addItem(header, true);
        addItems(markups);
        setSelected(0);
        return;
    }
    // Rows alike at the front (the first among them) and at the back stay.
    const qsizetype oldCount = FItems.size();
    const qsizetype newCount = markups.size() + 1;
    qsizetype front = 1;
    while (front < oldCount && front < newCount && same(FItems.at(front), markups.at(front - 1), false))
        ++front;
    qsizetype back = 0;
    while (back < oldCount - front && back < newCount - front
           && same(FItems.at(oldCount - 1 - back), markups.at(newCount - 2 - back), false))
        ++back;
    if (FSelected != 0 && FSelected != -1) {
        FSelected = -1;
        emit selectedChanged(-1);
    }
    if (oldCount - back > front) {
        beginRemoveRows({}, int(front), int(oldCount - back - 1));
        FItems.remove(front, oldCount - back - front);
        endRemoveRows();
    }
    if (newCount - back > front) {
        beginInsertRows({}, int(front), int(newCount - back - 1));
        for (qsizetype i = front; i < newCount - back; ++i) {
            const QString &markup = markups.at(i - 1);
            FItems.insert(i, Item{markup, ListItemPlainText(markup), FAllHeaders, false});
        }
        endInsertRows();
    }
    for (int i = 0; i < count(); ++i)
        setChecked(i, false);
    setSelected(0);
}

void ProtocolPaneModel::setSelected(int index)
{
    if (index < -1 || index >= count())
        index = -1;
    if (index == FSelected)
        return;
    FSelected = index;
    emit selectedChanged(index);
}

void ProtocolPaneModel::setFolderText(const QString &text)
{
    if (text == FFolder)
        return;
    FFolder = text;
    emit folderTextChanged(text);
}

int ProtocolPaneModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ProtocolPaneModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const Item &item = FItems.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return item.markup;
    case Qt::CheckStateRole:
        if (item.header)
            return {};
        return item.checked ? Qt::Checked : Qt::Unchecked;
    case HeaderRole:
        return item.header;
    case PlainTextRole:
    case Qt::AccessibleTextRole:
        return item.text;
    default:
        return {};
    }
}

bool ProtocolPaneModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.row() >= count() || FItems.at(index.row()).header)
        return false;
    const bool on = value.toInt() == Qt::Checked;
    if (FItems.at(index.row()).checked != on) {
        setChecked(index.row(), on);
        emit checkClicked(index.row());
    }
    return true;
}

Qt::ItemFlags ProtocolPaneModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!isHeader(index.row()))
        f |= Qt::ItemIsUserCheckable;
    return f;
}

// ---- Listing routines ---------------------------------------------------------------------

void ListPaneRoot(ProtocolPaneModel &pane, DeviceFileOperations &ops, const QString &ip, const PaneYield &yield)
{
    pane.clear();
    std::vector<std::string> names;
    int n = 0;
    ops.ListDeviceFolders(ip.toStdString(), n, names, FolderListing::WithoutRecent);
    if (!names.empty()) {
        QStringList items;
        items.reserve(qsizetype(names.size()));
        for (const std::string &name : names) {
            items << FolderItemFor(InstrumentText(name));
            if (yield)
                yield();
        }
        pane.addItems(items);
        pane.setSelected(0);
    }
    pane.setFolderText(QStringLiteral("/"));
}

void ShowPaneFolder(ProtocolPaneModel &pane, DeviceFileOperations &ops, const QString &ip, const QString &folder,
                    const PaneYield &yield, bool keepRows)
{
    if (!keepRows)
        pane.clear();
    std::vector<std::string> names;
    int n = 0;
    ops.ListDeviceFiles(ip.toStdString(), folder.toStdString(), n, names);
    QStringList items;
    items.reserve(qsizetype(names.size()));
    for (const std::string &name : names) {
        items << ProtocolFileItem(InstrumentText(name));
        if (yield)
            yield();
    }
    pane.showItems(ParentFolderItem(), items);
    pane.setFolderText(folder.contains(QLatin1Char('/')) ? folder : QStringLiteral("/") + folder);
}

bool OpenPaneFolder(ProtocolPaneModel &pane, DeviceFileOperations &ops, const QString &ip, const PaneYield &yield)
{
    if (pane.isEmpty() || pane.itemText(0) == QLatin1String("..") || !pane.hasSelection())
        return false;
    ShowPaneFolder(pane, ops, ip, pane.itemText(pane.selected()), yield);
    return true;
}

} // namespace duvo
