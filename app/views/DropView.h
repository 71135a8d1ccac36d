#pragma once

#include "Color.h"

#include <QStringList>
#include <QWidget>

class QMimeData;

// An area onto which a file or folder is dragged to have it inspected; in
// Brindle's window it is the whole window. While an acceptable drag hovers it
// is tinted translucent blue; on a drop the first path goes to the
// application's delegate as setFileName(path), followed by
// noteDroppedItems(count) when there were several.
class DropView : public QWidget
{
    Q_OBJECT

public:
    enum DragOperation { DragOperationNone = 0, DragOperationCopy = 1 };

    explicit DropView(QWidget *parent = nullptr);

    // The drag-destination protocol, reachable without a real drag session.
    int draggingEntered(const QObject *draggingSource, const QMimeData *pasteboard);
    void draggingExited();
    bool prepareForDragOperation(const QMimeData *pasteboard);
    bool performDragOperation(const QMimeData *pasteboard);
    void concludeDragOperation();

    // Null before the first accepted drag.
    ColorRef bgColor() const { return m_bgColor; }

    // The local paths that a drag carries as file: URLs, in drag order, with
    // bytes that are not UTF-8 kept (see PathCodec).
    static QStringList fileNames(const QMimeData *pasteboard);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setBgColor(ColorRef color);

    QObject *path = nullptr; // kept for the record; nothing reads it
    ColorRef m_bgColor;
};
