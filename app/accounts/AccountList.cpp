#include "AccountList.h"

#include "AccountFill.h"

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

// Whether entry's full upper-case form is upper; an ASCII entry is compared
// without making that form.
bool hasUpperCase(const QString &entry, const QString &upper)
{
    const char16_t *units = reinterpret_cast<const char16_t *>(entry.constData());
    for (qsizetype i = 0; i < entry.size(); ++i) {
        if (units[i] >= 0x80)
            return entry.toUpper() == upper;
    }
    if (entry.size() != upper.size())
        return false;
    const char16_t *wanted = reinterpret_cast<const char16_t *>(upper.constData());
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const char16_t c = units[i] >= u'a' && units[i] <= u'z' ? char16_t(units[i] - 0x20) : units[i];
        if (c != wanted[i])
            return false;
    }
    return true;
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
    finishFilled();
    return *this;
}

void AccountList::finishFilled()
{
    m_slots.clear();
    if (!m_indexed)
        return;
    // At most half full, so that probes stay short.
    std::size_t slotCount = 64;
    while (slotCount < std::size_t(m_list.size()) * 2)
        slotCount *= 2;
    m_slots.assign(slotCount, 0);
    const std::size_t mask = slotCount - 1;
    for (qsizetype row = 0; row < m_list.size(); ++row) {
        std::size_t slot = upperCaseHash(m_list.at(row)) & mask;
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
            if (hasUpperCase(names.at(k), wanted))
                return k;
        }
        return -1;
    }
    if (m_slots.empty())
        return -1;
    const std::uint32_t h = hashUnits(reinterpret_cast<const char16_t *>(wanted.constData()), wanted.size());
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t slot = h & mask; m_slots[slot]; slot = (slot + 1) & mask) {
        const qsizetype row = qsizetype(m_slots[slot]) - 1;
        if (hasUpperCase(names.at(row), wanted))
            return row;
    }
    return -1;
}
