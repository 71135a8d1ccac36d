#include "AccountPopUpModel.h"

#include <QComboBox>
#include <QLineEdit>

AccountPopUpModel::AccountPopUpModel(QObject *parent)
    : QObject(parent)
{
    m_completer.setModel(&m_sortedNames);
    m_completer.setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    m_completer.setCaseSensitivity(Qt::CaseInsensitive);
    m_completer.setCompletionMode(QCompleter::PopupCompletion);
}

bool AccountPopUpModel::follows(const QStringList &list) const
{
    // Any change to a list shared with us detaches it from ours.
    return m_names.size() == list.size() && (m_names.isEmpty() || m_names.isSharedWith(list));
}

void AccountPopUpModel::rebuild(const QStringList &list)
{
    m_names = list;
    m_model.setStringList(m_names);
    m_sorted = false;
}

bool AccountPopUpModel::ensureSorted()
{
    if (m_sorted)
        return false;
    m_sorted = true;
    QStringList sorted = m_names;
    sorted.sort(Qt::CaseInsensitive);
    m_sortedNames.setStringList(sorted);
    return true;
}

void AccountPopUpModel::fill(QComboBox *popUp, const QStringList &list)
{
    const bool same = follows(list);
    if (!same)
        rebuild(list);
    if (!same || popUp->model() != &m_model) {
        popUp->setModel(&m_model);
        // setModel() may hand the completer the pop-up's own, unsorted model.
        m_completer.setModel(&m_sortedNames);
        popUp->setCompleter(&m_completer);
    }
}

void AccountPopUpModel::select(QComboBox *popUp, const QString &name) const
{
    popUp->setCurrentIndex(rowOf(name));
    if (popUp->currentIndex() < 0 && popUp->lineEdit())
        popUp->lineEdit()->clear();
}

int AccountPopUpModel::rowOfTyped(const QString &typed) const
{
    const int row = rowOf(typed);
    if (row >= 0)
        return row;
    for (int k = 0; k < m_names.size(); ++k) {
        if (m_names.at(k).compare(typed, Qt::CaseInsensitive) == 0)
            return k;
    }
    return -1;
}
