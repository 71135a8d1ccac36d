#include "PathCodec.h"

namespace {

// Length of the well-formed UTF-8 sequence at s[i], or 0 when it is not one.
int utf8SequenceLength(const unsigned char *s, qsizetype i, qsizetype n)
{
    const unsigned char c = s[i];
    int len;
    char32_t cp;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
    else
        return 0;
    if (i + len > n)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    if (cp >= 0xD800 && cp <= 0xDFFF)
        return 0;
    return len;
}

} // namespace

qsizetype decodeBytesInto(char16_t *out, const char *bytes, qsizetype n)
{
    const auto *s = reinterpret_cast<const unsigned char *>(bytes);
    char16_t *const begin = out;
    qsizetype i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            *out++ = s[i++];
            continue;
        }
        const int len = utf8SequenceLength(s, i, n);
        if (len == 0) {
            *out++ = char16_t(0xDC00 + s[i]);
            ++i;
            continue;
        }
        char32_t cp = s[i] & (0xFF >> (len + 1));
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        if (cp >= 0x10000) {
            *out++ = char16_t(0xD800 + ((cp - 0x10000) >> 10));
            *out++ = char16_t(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            *out++ = char16_t(cp);
        }
        i += len;
    }
    return out - begin;
}

QString pathFromBytes(const QByteArray &bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    out.truncate(decodeBytesInto(reinterpret_cast<char16_t *>(out.data()), bytes.constData(), bytes.size()));
    return out;
}

QByteArray bytesFromPath(const QString &path)
{
    QByteArray out;
    out.reserve(path.size());
    qsizetype start = 0;
    const qsizetype n = path.size();
    for (qsizetype i = 0; i <= n; ++i) {
        const bool escaped = i < n && path.at(i).unicode() >= 0xDC80 && path.at(i).unicode() <= 0xDCFF
                             && !(i > 0 && path.at(i - 1).isHighSurrogate());
        if (i == n || escaped) {
            out.append(QStringView(path).mid(start, i - start).toUtf8());
            if (escaped)
                out.append(char(path.at(i).unicode() - 0xDC00));
            start = i + 1;
        }
    }
    return out;
}
