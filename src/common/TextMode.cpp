#include "common/TextMode.h"

#include <QStringEncoder>
#include <QVarLengthArray>

#include <array>
#include <atomic>
#include <string_view>

namespace {

char16_t foldOne(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
    if (c >= 0xFF01 && c <= 0xFF5E) {
        c = char16_t(c - 0xFEE0);
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
    }
    return char16_t(QChar::toCaseFolded(char32_t(c)));
}

struct FoldTables
{
    // Every code unit's fold, worked out once: searches fold each character
    // they pass, and Qt's case folding is too slow to ask per character.
    std::array<char16_t, 0x10000> unit {};
    // Each byte of UTF-8 text as the byte search sees it: an ASCII byte
    // folded, kDecode for the lead bytes of the characters beyond ASCII that
    // fold to printable ASCII (full-width forms, the Kelvin sign, the long
    // s), 0 for every other byte, which no word holds.
    std::array<unsigned char, 0x100> utf8Byte {};
};

constexpr unsigned char kDecode = 0xFF;

const FoldTables &foldTables()
{
    static const FoldTables tables = [] {
        FoldTables t;
        for (std::size_t c = 0; c < t.unit.size(); ++c) {
            t.unit[c] = foldOne(char16_t(c));
            if (c < 0x80)
                t.utf8Byte[c] = static_cast<unsigned char>(t.unit[c]);
            else if (t.unit[c] >= 0x20 && t.unit[c] < 0x7F && !QChar::isSurrogate(char32_t(c)))
                t.utf8Byte[c < 0x800 ? 0xC0 | (c >> 6) : 0xE0 | (c >> 12)] = kDecode;
        }
        return t;
    }();
    return tables;
}

} // namespace

char16_t textFold(char16_t c)
{
    return foldTables().unit[c];
}

namespace {

// Folds both sides as it goes: no copy of the needle, no allocation.
bool matchesAt(QStringView hay, qsizetype pos, QStringView needle)
{
    const auto &fold = foldTables().unit;
    for (qsizetype j = 0; j < needle.size(); ++j) {
        if (fold[hay[pos + j].unicode()] != fold[needle[j].unicode()])
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
    const auto &fold = foldTables().unit;
    const char16_t first = fold[needle[0].unicode()];
    const qsizetype last = hay.size() - needle.size();
    for (qsizetype i = from; i <= last; ++i) {
        if (fold[hay[i].unicode()] == first && matchesAt(hay, i + 1, needle.sliced(1)))
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

bool isContinuation(unsigned char b)
{
    return (b & 0xC0) == 0x80;
}

// The code point of the well-formed 2- or 3-byte sequence at `p` (of `left`
// bytes), or 0 when there is none. A well-formed sequence reads the same
// whatever precedes it, so it decodes here as in any UTF-8 decoder; other
// bytes are never folded to ASCII and only need to stay apart from words.
char16_t sequenceAt(const unsigned char *p, qsizetype left, int *length)
{
    if (p[0] >= 0xC2 && p[0] <= 0xDF && left >= 2 && isContinuation(p[1])) {
        *length = 2;
        return char16_t(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
    }
    if (p[0] >= 0xE0 && p[0] <= 0xEF && left >= 3 && isContinuation(p[1]) && isContinuation(p[2])) {
        const char16_t cp = char16_t(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
        if (cp < 0x800 || QChar::isSurrogate(cp))
            return 0; // overlong or a surrogate: not well-formed
        *length = 3;
        return cp;
    }
    return 0;
}

constexpr char kNoWord = '\0'; // stands for every character no word can hold

} // namespace

Utf8TextSearch::Utf8TextSearch(QByteArrayView utf8)
{
    const FoldTables &tables = foldTables();
    m_folded.resize(utf8.size());
    char *out = m_folded.data();
    const auto *p = reinterpret_cast<const unsigned char *>(utf8.data());
    const auto *end = p + utf8.size();
    while (p < end) {
        // ASCII, and the many characters that can never fold to ASCII: one
        // byte in, one out, their continuation bytes too.
        const unsigned char seen = tables.utf8Byte[*p];
        if (seen != kDecode) {
            *out++ = char(seen);
            ++p;
            continue;
        }
        int length = 1;
        const char16_t cp = sequenceAt(p, end - p, &length);
        const char16_t folded = cp != 0 ? tables.unit[cp] : 0xFFFF;
        *out++ = folded >= 0x20 && folded < 0x7F ? char(folded) : kNoWord;
        p += length;
    }
    m_folded.truncate(out - m_folded.data());
}

bool Utf8TextSearch::contains(QLatin1StringView word) const
{
    // Words are short: folded on the stack, as this runs several times for
    // every downloaded file.
    QVarLengthArray<char, 32> folded(word.size());
    for (qsizetype i = 0; i < word.size(); ++i) {
        const char c = word[i].toLatin1();
        Q_ASSERT(c >= 0x20 && c < 0x7F);
        folded[i] = char(textFold(char16_t(c)));
    }
    // The standard search looks for the first byte with memchr, which a
    // folded head of random bytes rarely holds; Qt's rolling hash would visit
    // every position.
    return std::string_view(m_folded.constData(), std::size_t(m_folded.size()))
               .find(std::string_view(folded.constData(), std::size_t(folded.size())))
        != std::string_view::npos;
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
