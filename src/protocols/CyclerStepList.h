#pragma once
// The protocol editor's record list: the protocol in execution order, owning its records.
// The editor window is a view on it: every item added (AddStepItem, AddLoopItem, and the
// rebuild of RebuildStepList) is announced by itemAdded, so the window's list shows one item
// per record, and stepListRebuilt tells it to redraw summary and graph.
//
// Loop nesting: a loop precedes its body, the next NumberOfStepsInsideLoop records; a body
// may hold loops one level deep, each counted with its whole body in the outer count.
// Indent is 20 x nesting depth, recomputed from the counts by RebuildStepList.

#include "protocols/CyclerStepRecord.h"

#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace duvo {

class CyclerStepList : public QObject {
    Q_OBJECT
public:
    explicit CyclerStepList(QObject *parent = nullptr);
    ~CyclerStepList() override;

    int Count() const { return static_cast<int>(FStepList.size()); }
    bool isEmpty() const { return FStepList.empty(); }
    CyclerStepRecord *at(int index) const;
    CyclerStepRecord *operator[](int index) const { return at(index); }

    // Takes ownership; inserts before position index (Count() appends). Returns the record.
    CyclerStepRecord *Insert(int index, std::unique_ptr<CyclerStepRecord> record);
    CyclerStepRecord *Append(std::unique_ptr<CyclerStepRecord> record) { return Insert(Count(), std::move(record)); }
    // Removes and frees the record at index (nothing when out of range).
    void Delete(int index);
    // Frees every record and announces the emptied list (itemsCleared).
    void Clear();

    // A step item from the editor's display texts: temperature, time ("mm:ss"), ramp rate,
    // time change ("mm:ss"), temperature change, hold flag, decrement flag. With addRecord a
    // new record made from the texts is appended (the temperature rounded to one decimal).
    // False, and nothing added, when a text cannot be read.
    bool AddStepItem(const QString &temperature, const QString &time, const QString &rampRate,
                     const QString &timeChange, const QString &temperatureChange, bool hold,
                     bool decrement, bool addRecord, int indent);
    // A loop item from decimal texts (steps, cycles); with addRecord a new loop record with a
    // fixed IncubationTime of 20 s is appended. False, and nothing added, for a bad count.
    bool AddLoopItem(const QString &steps, const QString &cycles, bool addRecord, int indent);
    // Recomputes every Indent, announces an emptied list and one item per record (without new
    // records), then stepListRebuilt.
    void RebuildStepList();
    // The indent rule alone: all indents 0, then each loop with n > 0 sets the next n records
    // to its own Indent + 20.
    void RecomputeIndents();

    int StepItemCount() const;
    int LoopItemCount() const;
    int CycleSum() const;   // NumberOfCyclesToLoop summed over all loops

    // The protocol document of the list under the given name. False, and the text untouched,
    // when the list is empty.
    bool WriteProtocolXml(const QString &name, std::string &text) const;
    // The CyclerStep lines of all records, each line ending with CR LF.
    bool WriteProtocolSteps(std::string &text) const;
    // Reads a document and appends its records behind those already in the list, then
    // RebuildStepList. All or nothing: a document that does not parse, lacks its step count,
    // holds a record that cannot be read, a value the editor cannot show (a hold time or time
    // change of an hour or more, a negative time, a number that is not a number, a text wider
    // than the reader takes) or loops that run past their outer body or the last record gives
    // false and adds nothing.
    bool ReadProtocolXml(const std::string &text);

signals:
    void itemsCleared();
    // One item appended to the view; the record is the list's own for an item that has one,
    // else a record made from the item's texts.
    void itemAdded(const duvo::CyclerStepRecord &record);
    void stepListRebuilt();

private:
    std::vector<std::unique_ptr<CyclerStepRecord>> FStepList;
};

// Records read from a document, checked against what the editor can show; used by
// CyclerStepList::ReadProtocolXml and by anything else that needs a document's steps without
// a list (the instrument simulator runs them). False for any document ReadProtocolXml refuses.
bool ReadProtocolRecords(const std::string &text, std::vector<CyclerStepRecord> &records);

// Every loop ends inside the list and inside the loop that holds it, and no loop lies two
// levels deep: the records can be shown, saved and read back.
bool LoopsNestProperly(const std::vector<CyclerStepRecord> &records);

} // namespace duvo
