#include "common/TextMode.h"

#include <QStringEncoder>

#include <atomic>

char16_t textFold(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
    if (c >= 0xFF01 && c <= 0xFF5E) {
        c = char16_t(c - 0xFEE0);
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
    }
    return char16_t(QChar::toCaseFolded(char32_t(c)));
}

namespace {

// Folds both sides as it goes: no copy of the needle, no allocation.
bool matchesAt(QStringView hay, qsizetype pos, QStringView needle)
{
    for (qsizetype j = 0; j < needle.size(); ++j) {
        if (textFold(hay[pos + j].unicode()) != textFold(needle[j].unicode()))
            return false;
    }
    return true;
}

} // namespace

qsizetype textIndexOf(QStringView hay, QStringView needle, qsizetype from, CompareMode mode)
{
    if (from < 0)
        from = qMax<qsizetype>(0, hay.size() + from);
    if (from > hay.size())
        return -1;
    if (mode == CompareMode::Exact)
        return hay.indexOf(needle, from, Qt::CaseSensitive);
    if (needle.isEmpty())
        return from;
    const char16_t first = textFold(needle[0].unicode());
    const qsizetype last = hay.size() - needle.size();
    for (qsizetype i = from; i <= last; ++i) {
        if (textFold(hay[i].unicode()) == first && matchesAt(hay, i + 1, needle.sliced(1)))
            return i;
    }
    return -1;
}

qsizetype textLastIndexOf(QStringView hay, QStringView needle, qsizetype from, CompareMode mode)
{
    if (from < 0)
        from = hay.size() + 1 + from;
    if (from < 0)
        return -1;
    from = qMin(from, hay.size() - needle.size());
    if (from < 0)
        return -1;
    if (mode == CompareMode::Exact)
        return hay.lastIndexOf(needle, from, Qt::CaseSensitive);
    for (qsizetype i = from; i >= 0; --i) {
        if (matchesAt(hay, i, needle))
            return i;
    }
    return -1;
}

bool textContains(QStringView hay, QStringView needle, CompareMode mode)
{
    return textIndexOf(hay, needle, 0, mode) >= 0;
}

bool textStartsWith(QStringView text, QStringView prefix, CompareMode mode)
{
    return prefix.size() <= text.size() && textEquals(text.first(prefix.size()), prefix, mode);
}

bool textEndsWith(QStringView text, QStringView suffix, CompareMode mode)
{
    return suffix.size() <= text.size() && textEquals(text.last(suffix.size()), suffix, mode);
}

bool textEquals(QStringView a, QStringView b, CompareMode mode)
{
    if (a.size() != b.size())
        return false;
    if (mode == CompareMode::Exact)
        return a == b;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (textFold(a[i].unicode()) != textFold(b[i].unicode()))
            return false;
    }
    return true;
}

QString textReplace(QString text, QStringView before, QStringView after, CompareMode mode)
{
    if (before.isEmpty())
        return text;
    if (mode == CompareMode::Exact)
        return text.replace(before.toString(), after.toString(), Qt::CaseSensitive);
    qsizetype pos = textIndexOf(text, before, 0, mode);
    if (pos < 0)
        return text;
    QString result;
    result.reserve(text.size());
    qsizetype done = 0;
    while (pos >= 0) {
        result += QStringView(text).sliced(done, pos - done);
        result += after;
        done = pos + before.size();
        pos = textIndexOf(text, before, done, mode);
    }
    result += QStringView(text).sliced(done);
    return result;
}

namespace {

// Bytes of a BMP character in GBK, 0 while not yet known. Each entry is
// found once per process with an encoder of its own, so no encoder state
// (Qt 6.4 keeps the error flag across resetState()) can carry from one
// character or call to the next; the table itself only ever gains entries.
std::atomic<quint8> gbkLengths[0x10000];

int gbkLengthOfBmp(char16_t unit)
{
    const quint8 known = gbkLengths[unit].load(std::memory_order_relaxed);
    if (known != 0)
        return known;
    QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    const QByteArray bytes = encoder.encode(QStringView(&unit, 1));
    // GB18030 writes what GBK lacks in 4 bytes.
    const int length = encoder.hasError() || bytes.isEmpty() ? 4 : int(bytes.size());
    gbkLengths[unit].store(quint8(length), std::memory_order_relaxed);
    return length;
}

} // namespace

int GbkCharByteCount(char32_t codePoint)
{
    if (codePoint < 0x80)
        return 1;
    // Beyond the BMP nothing is in GBK; GB18030 writes these in 4 bytes.
    if (codePoint > 0xFFFF || QChar::isSurrogate(codePoint))
        return 4;
    return gbkLengthOfBmp(char16_t(codePoint));
}

int GbkByteCount(QStringView text)
{
    int total = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t cp = text[i].unicode();
        if (QChar::isHighSurrogate(cp) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cp = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            ++i;
        }
        total += GbkCharByteCount(cp);
    }
    return total;
}
