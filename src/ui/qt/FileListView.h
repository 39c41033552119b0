// The list of part-type files: a report-style list of whole rows, one row
// selected at a time, that nobody edits in place, and that takes files dragged
// from the file manager.
#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <functional>

namespace marrowgate::ui {

class FileListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);

    // Whether dropped files are taken now; asked on every drag over the list.
    void setDropGate(std::function<bool()> gate) { gate_ = std::move(gate); }

    // The text of the selected row's first column; empty when none is selected.
    QString selectedName() const;

signals:
    // Local files dropped on the list, in the order the file manager gave them.
    void filesDropped(const QStringList& paths);
    // The Delete key, to remove the selected row.
    void deletePressed();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool takes(const QMimeData* data) const;
    std::function<bool()> gate_;
};

}  // namespace marrowgate::ui
