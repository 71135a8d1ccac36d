#include "AccountList.h"

#include "AccountFill.h"

#include <algorithm>

namespace {

// FNV-1a over the UTF-16 units of a name's upper-case form. ASCII names, by
// far the most common, are upper-cased on the fly without a copy.
std::uint32_t hashUnits(const char16_t *units, qsizetype size)
{
    std::uint32_t h = 2166136261u;
    for (qsizetype i = 0; i < size; ++i) {
        h ^= units[i];
        h *= 16777619u;
    }
    return h;
}

std::uint32_t upperCaseHash(const QString &name)
{
    const char16_t *units = reinterpret_cast<const char16_t *>(name.constData());
    std::uint32_t h = 2166136261u;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char16_t c = units[i];
        if (c >= 0x80) {
            const QString upper = name.toUpper();
            return hashUnits(reinterpret_cast<const char16_t *>(upper.constData()), upper.size());
        }
        if (c >= u'a' && c <= u'z')
            c -= 0x20;
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

} // namespace

const QStringList &AccountList::list() const
{
    if (m_fill)
        m_fill->wait();
    return m_list;
}

AccountList &AccountList::operator=(const QStringList &list)
{
    if (m_fill)
        m_fill->wait();
    m_list = list;
    m_hashOfRow.clear();
    m_slots.clear();
    finishFilled();
    return *this;
}

void AccountList::finishFilled()
{
    if (!m_indexed)
        return;
    m_hashOfRow.reserve(std::size_t(m_list.size()));
    for (qsizetype row = qsizetype(m_hashOfRow.size()); row < m_list.size(); ++row)
        m_hashOfRow.push_back(upperCaseHash(m_list.at(row)));
    // At most half full, so that probes stay short.
    std::size_t slotCount = 64;
    while (slotCount < m_hashOfRow.size() * 2)
        slotCount *= 2;
    rehash(slotCount);
}

void AccountList::rehash(std::size_t slotCount)
{
    m_slots.assign(slotCount, 0);
    const std::size_t mask = slotCount - 1;
    for (std::size_t row = 0; row < m_hashOfRow.size(); ++row) {
        std::size_t slot = m_hashOfRow[row] & mask;
        while (m_slots[slot])
            slot = (slot + 1) & mask;
        m_slots[slot] = std::uint32_t(row + 1);
    }
}

qsizetype AccountList::rowOfName(const QString &name) const
{
    const QStringList &names = list();
    const QString wanted = name.toUpper();
    if (!m_indexed) {
        for (qsizetype k = 0; k < names.size(); ++k) {
            if (names.at(k).toUpper() == wanted)
                return k;
        }
        return -1;
    }
    if (m_slots.empty())
        return -1;
    const std::uint32_t h = hashUnits(reinterpret_cast<const char16_t *>(wanted.constData()), wanted.size());
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = h & mask; m_slots[slot]; slot = (slot + 1) & mask) {
        const std::size_t row = m_slots[slot] - 1;
        if (m_hashOfRow[row] == h && names.at(qsizetype(row)).toUpper() == wanted)
            return qsizetype(row);
    }
    return -1;
}
