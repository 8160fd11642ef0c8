#pragma once
// The protocol files (".svp" in any case) of one directory on this computer, as the
// load-from-disk manager's check list shows them: names in order, a check mark each, one
// selected item. refresh() reads the directory anew and loses the check marks.

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

namespace duvo {

class DiskProtocolList : public QAbstractListModel {
    Q_OBJECT
public:
    explicit DiskProtocolList(QObject *parent = nullptr);

    // The directory listed ("/" separators); setDirectory reads it.
    const QString &directory() const { return FDirectory; }
    void setDirectory(const QString &directory);
    void refresh();

    int count() const { return static_cast<int>(FNames.size()); }
    QString name(int i) const { return (i >= 0 && i < count()) ? FNames.at(i) : QString(); }
    // directory + "/" + the item's text.
    QString path(int i) const;
    bool isChecked(int i) const { return i >= 0 && i < count() && FChecked.at(i); }
    void setChecked(int i, bool on);
    void toggleCheck(int i);
    bool anyChecked() const { return FChecked.contains(true); }
    int selected() const { return FSelected; }
    void setSelected(int i);
    bool hasSelection() const { return FSelected >= 0 && FSelected < count(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    void checkClicked(int row);
    void selectedChanged(int row);
    void directoryChanged(const QString &directory);

private:
    QString FDirectory;
    QStringList FNames;
    QList<bool> FChecked;
    int FSelected = -1;
};

} // namespace duvo
