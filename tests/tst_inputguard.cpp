// While a privileged wait turns the event loop, user input must not reach
// Brindle's windows; the password dialog, modal, keeps working.
#include "InputGuard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <memory>

namespace {

class DropTarget : public QWidget
{
public:
    DropTarget() { setAcceptDrops(true); }
    int drops = 0;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent *event) override
    {
        ++drops;
        event->acceptProposedAction();
    }
};

class Window : public QMainWindow
{
public:
    QPushButton *button = new QPushButton(QStringLiteral("Apply"));
    QLineEdit *field = new QLineEdit;
    DropTarget *target = new DropTarget;
    QAction *open = new QAction(QStringLiteral("Open"), this);
    int wheels = 0;

    Window()
    {
        auto *central = new QWidget;
        auto *layout = new QVBoxLayout(central);
        layout->addWidget(button);
        layout->addWidget(field);
        layout->addWidget(target);
        setCentralWidget(central);
        open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
        addAction(open);
        field->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Wheel)
            ++wheels;
        return false;
    }
};

// Delivers a spontaneous close request, as a window manager's close button does.
void requestClose(QWidget *window)
{
    QCloseEvent close;
    QSpontaneKeyEvent::setSpontaneous(&close);
    QApplication::sendEvent(window->windowHandle(), &close);
}

void drop(QWidget *target)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
    const QPointF at(target->rect().center());
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropped);
}

void wheel(QWidget *target)
{
    const QPointF at(target->rect().center());
    QWheelEvent event(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QSpontaneKeyEvent::setSpontaneous(&event);
    QApplication::sendEvent(target, &event);
}

} // namespace

class InputGuardTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<Window> window;

private slots:
    void init()
    {
        window = std::make_unique<Window>();
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void cleanup() { window.reset(); }

    // Every kind of input, once without a guard (it arrives: the test can
    // tell) and once with one (nothing arrives).
    void inputReachesTheWindowOnlyWithoutGuard_data()
    {
        QTest::addColumn<bool>("guarded");
        QTest::newRow("no guard") << false;
        QTest::newRow("guard") << true;
    }
    void inputReachesTheWindowOnlyWithoutGuard()
    {
        QFETCH(bool, guarded);
        std::optional<InputGuard> guard;
        if (guarded)
            guard.emplace(QStringLiteral("Waiting for the administrator"));
        QCOMPARE(InputGuard::active(), guarded);

        QSignalSpy clicks(window->button, &QPushButton::clicked);
        QSignalSpy shortcuts(window->open, &QAction::triggered);
        QTest::mouseClick(window->button, Qt::LeftButton);
        window->button->setFocus();
        QTest::keyClick(window->button, Qt::Key_Space);
        window->field->setFocus();
        QTest::keyClicks(window->field, QStringLiteral("typed"));
        QTest::keyClick(window.get(), Qt::Key_O, Qt::ControlModifier);
        wheel(window->field);
        drop(window->target);
        requestClose(window.get());

        const int expected = guarded ? 0 : 1;
        QCOMPARE(clicks.count(), 2 * expected);
        QCOMPARE(window->field->text(), guarded ? QString() : QStringLiteral("typed"));
        QCOMPARE(shortcuts.count(), expected);
        QCOMPARE(window->wheels, expected);
        QCOMPARE(window->target->drops, expected);
        QCOMPARE(window->isVisible(), guarded);
        if (guarded) {
            QCOMPARE(window->cursor().shape(), Qt::BusyCursor);
            QCOMPARE(window->accessibleDescription(), QStringLiteral("Waiting for the administrator"));
            window->close(); // by code: still possible
            QVERIFY(!window->isVisible());
        }
    }

    void aModalDialogKeepsWorking()
    {
        InputGuard guard;
        QDialog dialog(window.get());
        dialog.setWindowModality(Qt::ApplicationModal);
        auto *password = new QLineEdit(&dialog);
        auto *ok = new QPushButton(QStringLiteral("Authenticate"), &dialog);
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(password);
        layout->addWidget(ok);
        connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        dialog.open();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClicks(password, QStringLiteral("secret"));
        QCOMPARE(password->text(), QStringLiteral("secret"));
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void anOpenMenuCloses()
    {
        QMenu menu(window.get());
        menu.addAction(QStringLiteral("Open"));
        menu.popup(window->mapToGlobal(QPoint(10, 10)));
        QTRY_VERIFY(menu.isVisible());
        InputGuard guard;
        QVERIFY(!menu.isVisible());
    }

    void guardsNestAndRestoreTheWindow()
    {
        window->setCursor(Qt::CrossCursor);
        window->setAccessibleDescription(QStringLiteral("Brindle"));
        QSignalSpy clicks(window->button, &QPushButton::clicked);
        {
            InputGuard outer;
            {
                InputGuard inner(QStringLiteral("inner"));
            }
            QVERIFY(InputGuard::active());
            QTest::mouseClick(window->button, Qt::LeftButton);
            QCOMPARE(clicks.count(), 0);
            QCOMPARE(window->cursor().shape(), Qt::BusyCursor);
        }
        QVERIFY(!InputGuard::active());
        QCOMPARE(window->cursor().shape(), Qt::CrossCursor);
        QCOMPARE(window->accessibleDescription(), QStringLiteral("Brindle"));
        QTest::mouseClick(window->button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
    }
};

QTEST_MAIN(InputGuardTest)
#include "tst_inputguard.moc"
