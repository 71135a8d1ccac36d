#pragma once

#include <QCompleter>
#include <QObject>
#include <QStringList>
#include <QStringListModel>

class QComboBox;

// The names of one kind of account as a pop-up of the advanced panel shows
// them. With 100,000 names, refilling a pop-up item by item on each
// inspection costs more than the whole rest of it; one model is kept per
// kind, rebuilt only when the controller's list changes, with a completer
// over the names sorted. A name is found by a plain scan of the list, which
// takes well under a millisecond; a hash of the names cost 60 ms to build
// in the first inspection and saved nothing measurable after it.
class AccountPopUpModel : public QObject
{
    Q_OBJECT

public:
    explicit AccountPopUpModel(QObject *parent = nullptr);

    // Puts the names, in list order, into popUp (rebuilding when the list is
    // no longer the one the model was made from).
    void fill(QComboBox *popUp, const QStringList &list);
    // Selects the row titled name, or none.
    void select(QComboBox *popUp, const QString &name) const;
    // The row of the first title equal to name; -1 when there is none.
    int rowOf(const QString &name) const { return int(m_names.indexOf(name)); }
    // The row of the name typed, case aside when no title equals it.
    int rowOfTyped(const QString &typed) const;

    QStringListModel *model() { return &m_model; }
    QCompleter *completer() { return &m_completer; }
    // Sorts the completer's names if the list changed since they were last
    // sorted. Sorting 100,000 names takes longer than an inspection, so it
    // waits until someone types into a pop-up. True when it sorted.
    bool ensureSorted();

private:
    bool follows(const QStringList &list) const;
    void rebuild(const QStringList &list);

    QStringList m_names; // shares the controller's list while that is unchanged
    QStringListModel m_model;
    QStringListModel m_sortedNames;
    bool m_sorted = true;
    QCompleter m_completer;
};
