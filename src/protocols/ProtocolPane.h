#pragma once
// One instrument pane of the copy manager and of the load-from-disk manager: the instrument's
// root folders or the protocol files of one of its folders, as markup items of a check list.
//
// Items are markup texts drawn by the item-markup delegate: a root folder, a secure root
// folder (its listed name holds "!"; the pane shows and uses the part before the first "!"),
// the ".." entry (always first in a folder listing, a header item: no check box) and protocol
// files. Names coming from an instrument are escaped into the markup; an item's text (the
// markup removed, ListItemPlainText) gives them back, and every comparison uses that text.
//
// The model keeps the check marks, the selected item and the pane's folder text ("-" until a
// listing, "/" at the root, "/" + folder inside a folder). The listing routines fill it from
// an instrument through the window's DeviceFileOperations, letting events through between
// names as the window would.

#include <QAbstractListModel>
#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace duvo {

class DeviceFileOperations;

// The text escaped so that markup shows it as it is (& < > ").
QString EscapeItemText(const QString &text);
// A name as the instrument sent it (bytes read as UTF-8).
QString InstrumentText(const std::string &text);
QString RootFolderItem(const QString &name);
// listedName holds "!": the item shows the part before the first "!".
QString SecureRootFolderItem(const QString &listedName);
// The item of a listed root folder name (secure when it holds "!").
QString FolderItemFor(const QString &listedName);
QString ParentFolderItem();
QString ProtocolFileItem(const QString &name);

class ProtocolPaneModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Roles {
        HeaderRole = Qt::UserRole + 1,  // bool: a header item (no check box)
        PlainTextRole,                  // the item's text without markup
    };

    explicit ProtocolPaneModel(QObject *parent = nullptr);

    // Every item added as a header item (the load-from-disk manager's instrument pane).
    void setAllHeaders(bool on) { FAllHeaders = on; }
    bool allHeaders() const { return FAllHeaders; }

    int count() const { return static_cast<int>(FItems.size()); }
    bool isEmpty() const { return FItems.isEmpty(); }
    QString itemMarkup(int i) const;
    QString itemText(int i) const;
    QStringList markups() const;
    bool isHeader(int i) const;
    bool isChecked(int i) const;
    // Changes a check mark from code (no checkClicked signal).
    void setChecked(int i, bool on);
    bool anyChecked() const;
    // A name is present when an item's text equals it exactly (case included).
    bool present(const QString &name) const;

    void clear();
    void addItem(const QString &markup, bool header = false);
    // Adds items at the end in one insertion (a listing's names, which views then lay out once).
    void addItems(const QStringList &markups);
    // Ends as clear(), addItem(header), addItems(markups) and setSelected(0) would, keeping the
    // rows that stay the same where the first item stays (a folder shown again after a file
    // came or went): only the rows that changed are removed and inserted, so views keep
    // their state instead of being reset.
    void showItems(const QString &header, const QStringList &markups);

    // -1 when nothing is selected.
    int selected() const { return FSelected; }
    void setSelected(int index);
    bool hasSelection() const { return FSelected >= 0 && FSelected < count(); }

    const QString &folderText() const { return FFolder; }
    void setFolderText(const QString &text);
    bool atRoot() const { return FFolder == QLatin1String("/"); }
    // The folder name: the folder text without its first character.
    QString folderName() const { return FFolder.mid(1); }

    // QAbstractListModel
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // The user changed a check mark (through a view or toggleCheck).
    void checkClicked(int row);
    void selectedChanged(int row);
    void folderTextChanged(const QString &text);

public:
    // The user's toggle of the check mark of item i (Space key); header items keep theirs.
    void toggleCheck(int i);

private:
    struct Item {
        QString markup;
        QString text;
        bool header = false;
        bool checked = false;
    };
    QList<Item> FItems;
    int FSelected = -1;
    QString FFolder = QStringLiteral("-");
    bool FAllHeaders = false;
};

// Lets events through between names (the window's job runner, or nothing in a plain call).
using PaneYield = std::function<void()>;

// Lists an instrument's root into a pane: the folders without RECENT, item 0 selected, folder
// text "/". A failed listing leaves the pane empty.
void ListPaneRoot(ProtocolPaneModel &pane, DeviceFileOperations &ops, const QString &ip,
                  const PaneYield &yield = {});
// Opens the selected root folder; false (nothing done) when the pane is empty, shows a folder
// already (item 0 is "..") or has no selection.
bool OpenPaneFolder(ProtocolPaneModel &pane, DeviceFileOperations &ops, const QString &ip,
                    const PaneYield &yield = {});
// Lists one folder's files: "..", then the files, item 0 selected. The folder text becomes
// "/" + folder (the folder as given when it holds a "/"); the listing request carries the
// folder as given. The pane is emptied before the request goes out; with keepRows (a pane the
// user cannot reach meanwhile, as during a run) it keeps its items until the reply is in and
// then changes only the rows that differ.
void ShowPaneFolder(ProtocolPaneModel &pane, DeviceFileOperations &ops, const QString &ip,
                    const QString &folder, const PaneYield &yield = {}, bool keepRows = false);

} // namespace duvo
