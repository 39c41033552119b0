#include "ui/qt/FileListView.h"

#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

namespace marrowgate::ui {

namespace {

QStringList local_files(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) paths.push_back(url.toLocalFile());
    }
    return paths;
}

}  // namespace

FileListView::FileListView(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

QString FileListView::selectedName() const {
    const QList<QTreeWidgetItem*> rows = selectedItems();
    return rows.isEmpty() ? QString() : rows.constFirst()->text(0);
}

bool FileListView::takes(const QMimeData* data) const {
    return (!gate_ || gate_()) && !local_files(data).isEmpty();
}

void FileListView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void FileListView::dragMoveEvent(QDragMoveEvent* event) {
    if (takes(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void FileListView::dropEvent(QDropEvent* event) {
    if (!takes(event->mimeData())) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(local_files(event->mimeData()));
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        emit deletePressed();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

}  // namespace marrowgate::ui
