#include "DropView.h"

#include "ApplicationDelegate.h"
#include "PathCodec.h"
#include "SystemLog.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

DropView::DropView(QWidget *parent)
    : QWidget(parent)
{
    setAcceptDrops(true);
}

QStringList DropView::fileNames(const QMimeData *pasteboard)
{
    QStringList names;
    if (!pasteboard || !pasteboard->hasUrls())
        return names;
    for (const QUrl &url : pasteboard->urls()) {
        if (!url.isLocalFile())
            continue;
        // The encoded path keeps the file name's bytes; toLocalFile() would
        // replace those that are not UTF-8.
        const QByteArray raw = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        names << pathFromBytes(raw);
    }
    return names;
}

int DropView::draggingEntered(const QObject *draggingSource, const QMimeData *pasteboard)
{
    if (draggingSource == this)
        return DragOperationNone;
    if (fileNames(pasteboard).isEmpty())
        return DragOperationNone;
    setBgColor(Color::calibratedRGB(0.0f, 0.0f, 0.75f, 0.25f));
    return DragOperationCopy;
}

void DropView::draggingExited()
{
    setBgColor(Color::clearColor());
}

bool DropView::prepareForDragOperation(const QMimeData *)
{
    return true;
}

bool DropView::performDragOperation(const QMimeData *pasteboard)
{
    const QStringList names = fileNames(pasteboard);
    if (names.isEmpty())
        return true;
    const QString first = names.first();
    systemLog(first);
    if (QObject *delegate = applicationDelegate()) {
        QMetaObject::invokeMethod(delegate, "setFileName", Q_ARG(QString, first));
        if (names.size() > 1)
            QMetaObject::invokeMethod(delegate, "noteDroppedItems", Q_ARG(int, int(names.size())));
    }
    return true;
}

void DropView::concludeDragOperation()
{
    setBgColor(Color::clearColor());
}

void DropView::setBgColor(ColorRef color)
{
    m_bgColor = std::move(color);
    update();
}

void DropView::dragEnterEvent(QDragEnterEvent *event)
{
    if (draggingEntered(event->source(), event->mimeData()) == DragOperationCopy) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void DropView::dragLeaveEvent(QDragLeaveEvent *)
{
    draggingExited();
}

void DropView::dropEvent(QDropEvent *event)
{
    if (prepareForDragOperation(event->mimeData()) && performDragOperation(event->mimeData())) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    }
    concludeDragOperation();
}

void DropView::paintEvent(QPaintEvent *)
{
    if (!m_bgColor)
        return;
    QPainter painter(this);
    painter.fillRect(rect(), m_bgColor->rgba());
}
