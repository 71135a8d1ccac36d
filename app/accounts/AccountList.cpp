#include "AccountList.h"

#include "AccountFill.h"

#include <algorithm>
#include <cstring>

namespace {

// A hash of a name's upper-case form, four UTF-16 units at a time. ASCII
// names, by far the most common, are upper-cased on the fly, four units at
// once, without a copy; any other name is hashed through its full upper-case
// form, which then holds no ASCII lower-case letter either, so both roads
// give the same hash for the same form.
constexpr std::uint64_t kLanes = 0x0001000100010001ull;

std::uint64_t load(const char16_t *units, qsizetype count)
{
    std::uint64_t word = 0;
    std::memcpy(&word, units, std::size_t(count) * sizeof(char16_t));
    return word;
}

// Lanes below 0x80 only: a..z become A..Z, the rest stay.
std::uint64_t asciiUpper(std::uint64_t word)
{
    const std::uint64_t fromA = word + (0x80 - 'a') * kLanes;   // lane >= 0x80 from 'a' on
    const std::uint64_t pastZ = word + (0x80 - 'z' - 1) * kLanes; // lane >= 0x80 past 'z'
    const std::uint64_t lower = fromA & ~pastZ & 0x80 * kLanes;
    return word - (lower >> 2);
}

std::uint32_t hashWords(const char16_t *units, qsizetype size, bool ascii)
{
    std::uint64_t h = std::uint64_t(size) * 0x9E3779B97F4A7C15ull;
    for (qsizetype i = 0; i < size; i += 4) {
        std::uint64_t word = load(units + i, std::min<qsizetype>(4, size - i));
        if (ascii)
            word = asciiUpper(word);
        h = (h ^ word) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
    }
    return std::uint32_t(h ^ (h >> 32));
}

// The hash of an upper-case form as it stands.
std::uint32_t hashUnits(const char16_t *units, qsizetype size)
{
    return hashWords(units, size, false);
}

std::uint32_t upperCaseHash(const QString &name)
{
    const char16_t *units = reinterpret_cast<const char16_t *>(name.constData());
    const qsizetype size = name.size();
    bool ascii = true;
    for (qsizetype i = 0; i < size && ascii; i += 4) {
        if (load(units + i, std::min<qsizetype>(4, size - i)) & 0xFF80 * kLanes)
            ascii = false;
    }
    if (ascii)
        return hashWords(units, size, true);
    const QString upper = name.toUpper();
    return hashUnits(reinterpret_cast<const char16_t *>(upper.constData()), upper.size());
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
    m_index.clear();
    if (!m_indexed)
        return;
    // (hash << 32 | row) for every row, then ordered by hash with a stable
    // radix sort, a byte at a time: passes over memory in order, and rows
    // of equal hash stay in list order, so the first listed is met first.
    const std::size_t n = std::size_t(m_list.size());
    std::vector<std::uint64_t> keys(n), scratch(n);
    for (std::size_t row = 0; row < n; ++row)
        keys[row] = std::uint64_t(upperCaseHash(m_list.at(qsizetype(row)))) << 32 | row;
    for (int shift = 32; shift < 64; shift += 8) {
        std::size_t start[257] = {};
        for (const std::uint64_t key : keys)
            ++start[((key >> shift) & 0xFF) + 1];
        for (int b = 0; b < 256; ++b)
            start[b + 1] += start[b];
        for (const std::uint64_t key : keys)
            scratch[start[(key >> shift) & 0xFF]++] = key;
        keys.swap(scratch);
    }
    m_index = std::move(keys);
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
    const std::uint32_t h = hashUnits(reinterpret_cast<const char16_t *>(wanted.constData()), wanted.size());
    auto at = std::lower_bound(m_index.cbegin(), m_index.cend(), std::uint64_t(h) << 32);
    for (; at != m_index.cend() && std::uint32_t(*at >> 32) == h; ++at) {
        const qsizetype row = qsizetype(std::uint32_t(*at));
        if (hasUpperCase(names.at(row), wanted))
            return row;
    }
    return -1;
}
