#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

class AccountFill;

// One of the controller's account lists (names or IDs as text, in directory
// order, duplicates kept). A fill may still be writing it on its own thread:
// every read and every change waits for that fill first. A list of names also
// keeps an index of their upper-case forms, built as the names arrive, so
// that a lookup costs microseconds instead of a scan that upper-cases every
// entry.
class AccountList
{
public:
    enum Kind { Ids, Names };
    AccountList(const AccountFill *fill, Kind kind)
        : m_fill(fill)
        , m_indexed(kind == Names)
    {
    }
    AccountList(const AccountList &) = delete;
    AccountList &operator=(const AccountList &) = delete;

    // Replaces the whole list (and its index).
    AccountList &operator=(const QStringList &list);
    void clear() { *this = QStringList(); }

    const QStringList &list() const;
    operator const QStringList &() const { return list(); }
    const QStringList *operator->() const { return &list(); }
    qsizetype size() const { return list().size(); }
    qsizetype count() const { return list().size(); }
    bool isEmpty() const { return list().isEmpty(); }
    const QString &at(qsizetype i) const { return list().at(i); }
    const QString &operator[](qsizetype i) const { return list().at(i); }
    const QString &first() const { return list().first(); }
    const QString &last() const { return list().last(); }
    QStringList::const_iterator begin() const { return list().cbegin(); }
    QStringList::const_iterator end() const { return list().cend(); }
    qsizetype indexOf(const QString &text) const { return list().indexOf(text); }
    bool contains(const QString &text) const { return list().contains(text); }
    bool operator==(const QStringList &other) const { return list() == other; }

    // Row of the first entry whose full Unicode upper-case form equals the
    // name's; -1 when there is none. Names lists only (an IDs list scans).
    qsizetype rowOfName(const QString &name) const;

    // For the fill, on its own thread or after waiting for it: appends one
    // entry; finishFilled() indexes what was appended, once, in a table
    // sized for it.
    void appendFilled(QString entry) { m_list.emplaceBack(std::move(entry)); }
    void finishFilled();

private:

    const AccountFill *m_fill;
    bool m_indexed;
    QStringList m_list;
    // hash of the upper-case form << 32 | row, in order: a lookup is a
    // binary search, and of equal names the first listed comes first.
    std::vector<std::uint64_t> m_index;
};
