#pragma once

#include "common/TrimSpaces.h"

#include <QString>

// The two ways the program compares text. Exact: code units must be equal.
// Text: letters match regardless of case, and the full-width forms U+FF01 to
// U+FF5E match their ASCII counterparts U+0021 to U+007E (so "：" counts as
// ":"). Searches in headers, addresses and file contents use text mode;
// equality tests of column texts are exact.
enum class CompareMode { Exact, Text };

// The code unit as text mode sees it: full-width folded to ASCII, then case
// folded. One code unit in, one out, so positions in the folded and the
// original text are the same.
char16_t textFold(char16_t c);

// Position of the first needle at or after `from`, or -1. A negative `from`
// counts from the end. An empty needle is found at `from`.
qsizetype textIndexOf(
    QStringView hay, QStringView needle, qsizetype from = 0, CompareMode mode = CompareMode::Text);
// Position of the last needle starting at or before `from`, or -1. `from` -1
// (the default) searches from the end; other negative values count from it.
qsizetype textLastIndexOf(
    QStringView hay, QStringView needle, qsizetype from = -1, CompareMode mode = CompareMode::Text);
bool textContains(QStringView hay, QStringView needle, CompareMode mode = CompareMode::Text);
bool textStartsWith(QStringView text, QStringView prefix, CompareMode mode = CompareMode::Text);
bool textEndsWith(QStringView text, QStringView suffix, CompareMode mode = CompareMode::Text);
bool textEquals(QStringView a, QStringView b, CompareMode mode);
// Every occurrence of `before`, from left to right and without overlap,
// replaced by `after`. An empty `before` leaves the text as it is.
QString textReplace(QString text, QStringView before, QStringView after, CompareMode mode);

// Text-mode searches for ASCII words in UTF-8 bytes, without decoding them
// into a QString: contains() answers as textContains() would on
// QString::fromUtf8(bytes). The bytes are folded once, each character that
// folds to ASCII (a letter of either case, a full-width form, the Kelvin
// sign...) becoming that ASCII byte and anything else a byte no word holds,
// so each search is a plain byte search.
class Utf8TextSearch
{
public:
    explicit Utf8TextSearch(QByteArrayView utf8);
    // `word` must be printable ASCII (U+0020 to U+007E).
    bool contains(QLatin1StringView word) const;

private:
    QByteArray m_folded;
};

// Bytes the text needs in GBK (code page 936). A character GBK cannot encode
// (an emoji, a rare symbol) counts as its GB18030 length, 4 bytes.
int GbkByteCount(QStringView text);
// Bytes of one code point in GBK, counted the same way.
int GbkCharByteCount(char32_t codePoint);
