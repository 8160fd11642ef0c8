#pragma once
// The check list of a protocol pane (copy manager, load-from-disk manager): shows a
// ProtocolPaneModel or a DiskProtocolList, keeps the model's selected item and the view's
// current item together, and reports what the windows' rules listen to: a click (also a
// keyboard move, as the original list's click), a double-click, and the keys Delete, Space
// and Enter (Space never toggles a check mark by itself: the window's rule decides).

#include <QListView>
#include <functional>

class QAbstractItemDelegate;

class ProtocolPaneView : public QListView {
    Q_OBJECT
public:
    explicit ProtocolPaneView(QWidget *parent = nullptr);

    // Binds a model that has selected()/setSelected() and selectedChanged (both pane models).
    template <typename Model>
    void bind(Model *model)
    {
        setModel(model);
        connect(model, &Model::selectedChanged, this, [this](int row) { showSelected(row); });
        FSelect = [model](int row) { model->setSelected(row); };
        showSelected(model->selected());
    }

signals:
    void itemClicked();       // a click on an item or a move to another item
    void itemDoubleClicked();
    void keyDown(int key);    // Qt::Key_Delete, Qt::Key_Space, Qt::Key_Return/Enter

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void showSelected(int row);
    void currentMoved(const QModelIndex &current);

    std::function<void(int)> FSelect;
    bool FSyncing = false;
};
