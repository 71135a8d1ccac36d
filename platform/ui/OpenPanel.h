#pragma once

#include <QDialog>

class DirectoryModel;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

// A modeless open panel in which one item, a file or a folder, is chosen.
// "Choose" always takes the selected item, or the folder on show when
// nothing is selected; Enter on a folder (in the list or typed) enters it,
// Enter on anything else chooses it. Every entry of a folder is listed,
// hidden ones, dangling links and names that are not UTF-8 included, and the
// chosen path keeps the name's bytes (see PathCodec).
class OpenPanel : public QDialog
{
    Q_OBJECT

public:
    enum ReturnCode { CancelButton = 0, OKButton = 1 };

    explicit OpenPanel(QWidget *parent = nullptr);

    // Shows folder; when it can't be listed the panel says why and stays
    // where it was. Returns whether folder is now on show.
    bool setDirectory(const QString &folder);
    QString directory() const;
    // Makes the entry with this name current and selected.
    void selectFile(const QString &name);
    // What "Choose" would take now.
    QString itemToChoose() const;

    // The chosen item's full path; empty before the panel was confirmed.
    QString filename() const { return m_filename; }

public slots:
    void choose();
    void goUp();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void activateRow(int row);
    void goToTyped();
    void chooseItem(const QString &path);
    void selectionDidChange();
    int selectedRow() const;
    void say(const QString &message);

    DirectoryModel *m_model;
    QLineEdit *m_location;
    QTreeView *m_list;
    QLabel *m_message;
    QPushButton *m_choose;
    QPushButton *m_cancel;
    QString m_filename;
};
