#include "ApplicationDelegate.h"
#include "DropView.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

// Stands in for the controller as the application's delegate.
class Receiver : public QObject
{
    Q_OBJECT
public:
    Q_INVOKABLE void setFileName(const QString &path) { received << path; }
    QStringList received;
};

class DropViewTest : public QObject
{
    Q_OBJECT

    Receiver receiver;

    static QMimeData *files(const QStringList &paths)
    {
        auto *mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString &p : paths)
            urls << QUrl::fromLocalFile(p);
        mime->setUrls(urls);
        return mime;
    }

    static bool sendEnter(DropView &view, QMimeData *mime)
    {
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &enter);
        return enter.isAccepted();
    }

private slots:
    void init()
    {
        receiver.received.clear();
        setApplicationDelegate(&receiver);
    }

    void freshViewDrawsNothing()
    {
        DropView view;
        QVERIFY(!view.bgColor());
        QVERIFY(view.acceptDrops());
    }

    void refusedDragsLeaveNoTint_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("text only") << "text";
        QTest::newRow("remote url") << "remote";
        QTest::newRow("image") << "image";
    }
    void refusedDragsLeaveNoTint()
    {
        QFETCH(QString, kind);
        DropView view;
        QMimeData mime;
        if (kind == QLatin1String("text"))
            mime.setText(QStringLiteral("/etc/passwd"));
        else if (kind == QLatin1String("remote"))
            mime.setUrls({QUrl(QStringLiteral("https://example.org/file"))});
        else
            mime.setImageData(QImage(4, 4, QImage::Format_RGB32));
        QVERIFY(!sendEnter(view, &mime));
        QVERIFY(!view.bgColor());
        QCOMPARE(view.draggingEntered(nullptr, &mime), int(DropView::DragOperationNone));
    }

    void dragFromItselfIsRefused()
    {
        DropView view;
        std::unique_ptr<QMimeData> mime(files({QStringLiteral("/tmp")}));
        QCOMPARE(view.draggingEntered(&view, mime.get()), int(DropView::DragOperationNone));
        QVERIFY(!view.bgColor());
    }

    void enterTintsAndLeaveClears()
    {
        DropView view;
        std::unique_ptr<QMimeData> mime(files({QStringLiteral("/tmp")}));
        QVERIFY(sendEnter(view, mime.get()));
        QVERIFY(view.bgColor());
        const QColor tint = view.bgColor()->rgba();
        QCOMPARE(tint.redF(), 0.0f);
        QCOMPARE(tint.greenF(), 0.0f);
        QVERIFY(qAbs(tint.blueF() - 0.75f) < 0.01f);
        QVERIFY(qAbs(tint.alphaF() - 0.25f) < 0.01f);
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(&view, &leave);
        QCOMPARE(view.bgColor(), Color::clearColor());
        QVERIFY(receiver.received.isEmpty());
    }

    void dropHandsOnTheFirstPathOnly()
    {
        DropView view;
        std::unique_ptr<QMimeData> mime(
            files({QStringLiteral("/tmp/one file"), QStringLiteral("/tmp/two"), QStringLiteral("/tmp")}));
        QVERIFY(sendEnter(view, mime.get()));
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, mime.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &drop);
        QCOMPARE(receiver.received, QStringList{QStringLiteral("/tmp/one file")});
        QCOMPARE(view.bgColor(), Color::clearColor());
    }

    void keepsBytesThatAreNotUtf8()
    {
        QMimeData mime;
        mime.setData(QStringLiteral("text/uri-list"), "file:///tmp/caf%E9\r\n");
        const QStringList names = DropView::fileNames(&mime);
        QCOMPARE(names.size(), 1);
        QCOMPARE(names.first().back().unicode(), char16_t(0xDCE9));
    }
};

QTEST_MAIN(DropViewTest)
#include "tst_dropview.moc"
