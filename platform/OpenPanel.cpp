#include "OpenPanel.h"

#include <QFileInfo>

OpenPanel::OpenPanel(QWidget *parent)
    : QFileDialog(parent)
{
    // The widget-based dialog is needed to accept folders and files alike.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setWindowTitle(tr("Choose a File or Folder"));
    setLabelText(QFileDialog::Accept, tr("Choose"));
}

QString OpenPanel::filename() const
{
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void OpenPanel::accept()
{
    const QStringList files = selectedFiles();
    if (files.size() == 1 && QFileInfo(files.first()).isDir()) {
        // QFileDialog would step into the folder; here the folder is the choice.
        QDialog::accept();
        return;
    }
    QFileDialog::accept();
}
