#include "AccountPopUpModel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListView>

#include <algorithm>
#include <utility>
#include <vector>

AccountPopUpModel::AccountPopUpModel(QObject *parent)
    : QObject(parent)
{
    m_completer.setModel(&m_sortedNames);
    m_completer.setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    m_completer.setCaseSensitivity(Qt::CaseInsensitive);
    m_completer.setCompletionMode(QCompleter::PopupCompletion);
    // Thousands of completions: rows of one height are laid out without
    // measuring each.
    if (auto *list = qobject_cast<QListView *>(m_completer.popup()))
        list->setUniformItemSizes(true);
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
    // The order QCompleter's case-insensitive binary search expects, on
    // case-folded copies compared as plain code units: several times faster
    // than comparing case-insensitively as the sort goes.
    std::vector<std::pair<QString, int>> keys;
    keys.reserve(size_t(m_names.size()));
    for (int k = 0; k < m_names.size(); ++k)
        keys.emplace_back(m_names.at(k).toCaseFolded(), k);
    std::sort(keys.begin(), keys.end());
    QStringList sorted;
    sorted.reserve(m_names.size());
    for (const auto &key : keys)
        sorted.append(m_names.at(key.second));
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
