#pragma once

#include <QFileDialog>

// A modeless open panel in which one item, a file or a folder, can be chosen.
// QFileDialog alone offers either files or folders; here Open accepts a
// selected folder as the choice, while a double click still enters it.
class OpenPanel : public QFileDialog
{
    Q_OBJECT

public:
    enum ReturnCode { CancelButton = 0, OKButton = 1 };

    explicit OpenPanel(QWidget *parent = nullptr);

    // The chosen item's full path, bytes that are not UTF-8 kept where the
    // file system model kept them; empty before the panel was confirmed.
    QString filename() const;

public slots:
    void accept() override;
};
