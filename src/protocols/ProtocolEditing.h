#pragma once
// The protocol editor's rules, without a window: the editing commands on the record list
// (New, New Step, New Loop, Delete, Delete All), the value clamps of the detail panels, the
// list's texts and pictures, the footer and the button states, the points of the profile
// graph, the name Save proposes, and "Save changes to Duvo" on the folder operations.
//
// Each command works on the selected position and returns the position to select afterwards
// (-1: none). The commands change the records and recompute the indents; the window rebuilds
// its list (CyclerStepList::RebuildStepList) afterwards.
//
//   CyclerStepList list;
//   ProtocolNew(list);                          // the seven records of a new protocol
//   int sel = ProtocolNewStep(list, 2);         // a copy of record 2 before it
//   ProtocolFooter(list) == "Temp. Steps: 7   Loops: 1   Cycles: 35"

#include "protocols/CyclerStepList.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace duvo {

class DeviceFileOperations;

// The most items for which New Step and New Loop stay enabled is one less than this.
inline constexpr int MaxProtocolItems = 99;
inline constexpr int MaxProtocolLoops = 49;
inline constexpr int MaxCycleSum = 999;

QString CycleLimitText();   // "You have exceeded 999 loop cycles.  Please reduce to 999 or less!"

// ---- Commands -----------------------------------------------------------------------------

// Empties the list and builds the default protocol (98 C 00:30; loop of 3 steps x 35 cycles
// over 98 C 00:05, 65 C 00:10, 72 C 00:30; 72 C 05:00; 4 C on hold). Returns 0.
int ProtocolNew(CyclerStepList &list);

// New Step on the selected record: on an empty list the default step 98 C 05:00; on a step a
// copy of it before it, in the same loops; on a loop a 65 C 00:10 step before it. Returns the
// position to select.
int ProtocolNewStep(CyclerStepList &list, int selected);

// What New Loop did: the position to select, or the box it showed instead.
struct NewLoopResult {
    int select = -1;
    QString message;   // the refusal shown, empty when a loop was added
};
// New Loop on the selected record, with its refusals in order (too many loops, cycle sum 999,
// above 999, no nested loop there); shows the refusal through the prompt service.
NewLoopResult ProtocolNewLoop(CyclerStepList &list, int selected);

// Delete of the selected record with the loops around it; the list never ends empty (the
// default step comes back). Returns the position to select, -1 when nothing happened.
int ProtocolDelete(CyclerStepList &list, int selected);

// The walk to the enclosing loops from position `from` for a step or loop with the given
// indent being added (delta +1) or removed (delta -1). Returns the positions of the loops it
// changed (the nested one first).
std::vector<int> WalkEnclosingLoops(CyclerStepList &list, int from, const CyclerStepRecord &moved, int delta);

// ---- Detail panels ------------------------------------------------------------------------

// The panel's Close value of an edited item after its clamp ("Temperature": empty "60.0",
// above 99.9 "99.9", below 4 "04.0"; "Ramp Rate": empty, above 7 "7.0", below 0.1 "0.1";
// "Temp Increment": empty "0.0", beyond +-95.9 "95.9"/"-95.9"; "Cycles": 0 or less "1").
// Other captions pass unchanged. nullopt: the text is no number (the panel refuses it).
std::optional<QString> ClampInspectorValue(const QString &caption, const QString &value);

// "Available Steps" of the loop at position: a top-level loop counts the records after it up
// to the next top-level loop; a nested one the steps with an indent after it up to the next
// loop (top-level steps skipped).
int AvailableLoopSteps(const CyclerStepList &list, int position);
// True when the loop at position may hold `steps` records: every loop then still ends inside
// the loop that holds it (a top-level loop must not end inside a nested body).
bool LoopStepsFit(const CyclerStepList &list, int position, int steps);
QString LoopStepsRefusedText();

// What the panel's Close applies to a step.
struct StepValues {
    QString temperature, time, rampRate, timeChange, temperatureChange;
    bool decrement = false;
    bool hold = false;
};
// The panel's texts of a step (numbers "00.0", times "mm:ss").
StepValues StepPanelValues(const CyclerStepRecord &record);
// Applies the panel to the step; false (record untouched) when a text does not read.
bool ApplyStepValues(CyclerStepRecord &record, const StepValues &values);

// ---- The list's texts ---------------------------------------------------------------------

enum class ItemPicture { None, Step, Loop, Hold, Warning };

struct ProtocolItemView {
    bool isStep = true;       // the item's kind tag: 1 step, 0 loop
    int indent = 0;           // pixels
    QString caption;          // 1-based position
    QString info;             // "98.0C°" / "Loop Step" (bold)
    QString notes;            // "Duration:  00:30" / "Steps: 3   Cycles: 35" (bold blue)
    ItemPicture left = ItemPicture::None;
    ItemPicture right = ItemPicture::None;
};
ProtocolItemView ProtocolItem(const CyclerStepRecord &record, int position);
// A step whose ramp rate is not 7, time change not 00:00, temperature change not 0, or that
// decrements: marked with the warning picture.
bool StepNeedsWarning(const CyclerStepRecord &record);

// "Temp. Steps: %d   Loops: %d   Cycles: %d".
QString ProtocolFooter(const CyclerStepList &list);

struct EditButtons {
    bool newStep = true;
    bool newLoop = true;
    bool deleteStep = false;
};
// New Step and New Loop are off at exactly 99 items; Delete needs 2 items and a selection.
EditButtons ProtocolEditButtons(int itemCount, int selected);

// ---- The graph ----------------------------------------------------------------------------

enum class GraphColour { Red, Blue, Green };

struct GraphPoint {
    qint64 seconds = 0;      // from the start of the protocol
    double temperature = 0;
    QString label;           // "Step 3", "Loop Step 2", "" for the start point
    GraphColour colour = GraphColour::Red;
};
// The points of DrawProtocolGraph: point 0 is the start point, point k (k >= 1) stands for
// record k-1.
std::vector<GraphPoint> ProtocolGraphPoints(const CyclerStepList &list);
// The record a click on mark `point` opens; -1 for the start point or none.
inline int GraphPointRecord(int point, int recordCount)
{
    return (point >= 1 && point <= recordCount) ? point - 1 : -1;
}

// ---- Files ---------------------------------------------------------------------------------

struct SaveProposal {
    QString directory;
    QString fileName;
};
// What Save's dialog proposes: the opened file, else the caller's file name, else the name
// with ".SVP" in the default folder.
SaveProposal ProposedSaveName(const QString &openedPath, const QString &saveFileName, const QString &name,
                              const QString &defaultFolder);

// ---- Save changes to Duvo -----------------------------------------------------------------

enum class UpdateOutcome {
    CycleLimit,       // refused: cycle sum 1000 or more
    ServiceProtocol,  // refused: a service protocol name
    NoDocument,       // the list gives no document: nothing sent
    DeleteFailed,
    LoadFailed,
    Updated,
};
// The service protocols that "Save changes to Duvo" refuses (DEFAULT and the seven of SYSTEM).
bool IsProtectedProtocolName(const QString &name);
// The checks, then DeleteDeviceProtocol and LoadProtocolToDevice with the document, with the
// boxes of each way out. beforeLoad runs between the two (the window lets pending events in).
UpdateOutcome UpdateDeviceProtocol(DeviceFileOperations &ops, const CyclerStepList &list, const QString &ip,
                                   const QString &folder, const QString &name,
                                   const std::function<void()> &beforeLoad = {});

} // namespace duvo
