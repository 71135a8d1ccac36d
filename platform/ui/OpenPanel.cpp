#include "OpenPanel.h"

#include "DirectoryModel.h"
#include "PathCodec.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QDir>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QString parentOf(const QString &folder)
{
    const int slash = folder.lastIndexOf(QLatin1Char('/'), folder.endsWith(QLatin1Char('/')) ? -2 : -1);
    return slash <= 0 ? QStringLiteral("/") : folder.left(slash);
}

QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

OpenPanel::OpenPanel(QWidget *parent)
    : QDialog(parent)
    , m_model(new DirectoryModel(this))
    , m_location(new QLineEdit(this))
    , m_list(new QTreeView(this))
    , m_message(new QLabel(this))
    , m_choose(new QPushButton(tr("&Choose"), this))
    , m_cancel(new QPushButton(tr("Cancel"), this))
{
    setWindowTitle(tr("Choose a File or Folder"));

    auto *up = new QToolButton(this);
    up->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    up->setToolTip(tr("Enclosing folder (Alt+Up)"));
    up->setAccessibleName(tr("Enclosing folder"));
    up->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Up));
    connect(up, &QToolButton::clicked, this, &OpenPanel::goUp);

    auto *locationLabel = new QLabel(tr("&Folder:"), this);
    locationLabel->setBuddy(m_location);
    m_location->setAccessibleDescription(tr("Type a folder to enter or an item to choose, then press Enter"));

    m_list->setModel(m_model);
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setAccessibleName(tr("Items in the folder"));
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(DirectoryModel::NameColumn, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(DirectoryModel::KindColumn, QHeaderView::ResizeToContents);
    connect(m_list, &QTreeView::doubleClicked, this, [this](const QModelIndex &index) { activateRow(index.row()); });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &OpenPanel::selectionDidChange);
    connect(m_model, &QAbstractItemModel::modelReset, this, &OpenPanel::selectionDidChange);

    m_message->setWordWrap(true);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    // Enter is dispatched by keyPressEvent, after what has focus; no button
    // takes it on its own.
    for (QPushButton *button : {m_choose, m_cancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(m_choose, &QPushButton::clicked, this, &OpenPanel::choose);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *top = new QHBoxLayout;
    top->addWidget(locationLabel);
    top->addWidget(m_location, 1);
    top->addWidget(up);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_message, 1);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_choose);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(560, 420);
    m_list->setFocus();
}

bool OpenPanel::setDirectory(const QString &folder)
{
    if (const int error = m_model->setFolder(folder)) {
        say(tr("Can't open “%1”: %2").arg(folder, reason(error)));
        m_location->setText(m_model->folder());
        return false;
    }
    m_location->setText(folder);
    // Keyboard navigation starts at the top, but nothing is selected: Choose
    // now takes the folder itself.
    m_list->selectionModel()->setCurrentIndex(m_model->index(0, 0), QItemSelectionModel::NoUpdate);
    selectionDidChange();
    return true;
}

QString OpenPanel::directory() const
{
    return m_model->folder();
}

void OpenPanel::selectFile(const QString &name)
{
    const int row = m_model->rowOf(name);
    if (row < 0)
        return;
    const QModelIndex index = m_model->index(row, 0);
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(index);
}

int OpenPanel::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString OpenPanel::itemToChoose() const
{
    const int row = selectedRow();
    return row >= 0 ? m_model->pathAt(row) : m_model->folder();
}

void OpenPanel::selectionDidChange()
{
    // Says what Choose would take, so that taking the folder on show when
    // nothing is selected comes as no surprise.
    const int row = selectedRow();
    const QString what = row >= 0 ? tr("Choose takes “%1”.").arg(m_model->entry(row).name)
                                  : tr("Nothing selected: Choose takes this folder.");
    m_choose->setToolTip(what);
    m_choose->setAccessibleDescription(what);
    say(what);
}

void OpenPanel::choose()
{
    if (!m_model->folder().isEmpty())
        chooseItem(itemToChoose());
}

void OpenPanel::chooseItem(const QString &path)
{
    m_filename = path;
    accept();
}

void OpenPanel::goUp()
{
    const QString from = m_model->folder();
    if (from.isEmpty() || from == QLatin1String("/"))
        return;
    const QString name = from.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    if (setDirectory(parentOf(from)))
        selectFile(name);
}

void OpenPanel::activateRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    if (DirectoryModel::entersAsFolder(m_model->entry(row).kind))
        setDirectory(m_model->pathAt(row));
    else
        chooseItem(m_model->pathAt(row));
}

void OpenPanel::goToTyped()
{
    QString typed = m_location->text();
    if (typed.isEmpty())
        return;
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    else if (!typed.startsWith(QLatin1Char('/')))
        typed = m_model->folder() + QLatin1Char('/') + typed;

    struct stat st {};
    const QByteArray bytes = bytesFromPath(typed);
    if (::stat(bytes.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        setDirectory(typed);
        m_list->setFocus();
    } else if (::lstat(bytes.constData(), &st) == 0) {
        chooseItem(typed);
    } else {
        say(tr("Can't find “%1”: %2").arg(typed, reason(errno)));
    }
}

void OpenPanel::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier) {
        QWidget *focus = focusWidget();
        if (focus == m_location) {
            goToTyped();
        } else if (focus == m_list && selectedRow() >= 0) {
            activateRow(selectedRow());
        } else if (auto *button = qobject_cast<QAbstractButton *>(focus)) {
            button->click(); // Cancel, Choose or the enclosing folder's button
        } else {
            choose();
        }
        return;
    }
    if (event->key() == Qt::Key_Backspace && focusWidget() == m_list) {
        goUp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void OpenPanel::say(const QString &message)
{
    m_message->setText(message);
}
