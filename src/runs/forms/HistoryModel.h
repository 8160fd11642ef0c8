#pragma once
// The run list of the history viewer: one row per run, a check box and the run's picture in
// the first column (image 0, or image 3 while checked). The date text is made only when a row
// is painted. Rows removed by the delete loop are marked first and dropped together
// (flushRemoved), so deleting many runs stays linear.

#include "runs/RunHistory.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <vector>

class HistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { SessionColumn, ProtocolColumn, DateColumn, ContactColumn, DescriptionColumn, ColumnCount };

    explicit HistoryModel(QObject *parent = nullptr);

    void setRows(std::vector<duvo::HistoryRow> rows);
    const duvo::HistoryRow &row(int index) const { return FRows[size_t(index)]; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    bool isChecked(int index) const { return FChecked[size_t(index)] != 0; }
    void setChecked(int index, bool on);
    void setAllChecked(bool on);
    int checkedCount() const { return FCheckedCount; }
    // The first checked row at or after from that is not marked removed; -1 when none.
    int firstChecked(int from = 0) const;

    // Marks a row as removed (unchecked, no longer found by firstChecked); flushRemoved drops
    // every marked row from the list at once.
    void markRemoved(int index);
    bool hasRemoved() const { return FRemovedCount > 0; }
    void flushRemoved();

    // The images of the list (OpenEditImageList1); 0 a run, 3 a checked run.
    static const QList<QIcon> &images();

signals:
    void checkedCountChanged(int count);

private:
    std::vector<duvo::HistoryRow> FRows;
    std::vector<char> FChecked;   // 0 unchecked, 1 checked, 2 removed
    int FCheckedCount = 0;
    int FRemovedCount = 0;
};
