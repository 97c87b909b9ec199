#pragma once

#include <QtGlobal>

#include <bit>
#include <vector>

// A set of row numbers as a bit vector with one summary bit per word, so
// that the first member at or after a row is found without walking the rows
// between: a list of 100,000 rows needs 25 summary words.
class RowSet
{
public:
    void clear()
    {
        m_words.clear();
        m_summary.clear();
    }

    // Makes room for rows 0 to rows - 1; new rows are not members.
    void reserve(int rows)
    {
        const size_t words = (size_t(rows) + 63) / 64;
        if (words > m_words.size()) {
            m_words.resize(words, 0);
            m_summary.resize((words + 63) / 64, 0);
        }
    }

    void set(int row, bool member)
    {
        reserve(row + 1);
        const size_t w = size_t(row) / 64;
        const quint64 bit = quint64(1) << (row % 64);
        if (member)
            m_words[w] |= bit;
        else
            m_words[w] &= ~bit;
        const quint64 summaryBit = quint64(1) << (w % 64);
        if (m_words[w] != 0)
            m_summary[w / 64] |= summaryBit;
        else
            m_summary[w / 64] &= ~summaryBit;
    }

    bool contains(int row) const
    {
        const size_t w = size_t(row) / 64;
        return row >= 0 && w < m_words.size() && (m_words[w] >> (row % 64)) & 1;
    }

    // The smallest member >= from, or -1.
    int next(int from) const
    {
        if (from < 0)
            from = 0;
        size_t w = size_t(from) / 64;
        if (w >= m_words.size())
            return -1;
        const quint64 here = m_words[w] & (~quint64(0) << (from % 64));
        if (here != 0)
            return int(w * 64 + size_t(std::countr_zero(here)));
        // Words after w that hold a member, from the summary.
        ++w;
        size_t s = w / 64;
        if (s >= m_summary.size())
            return -1;
        quint64 bits = m_summary[s] & (~quint64(0) << (w % 64));
        while (bits == 0) {
            if (++s >= m_summary.size())
                return -1;
            bits = m_summary[s];
        }
        const size_t word = s * 64 + size_t(std::countr_zero(bits));
        return int(word * 64 + size_t(std::countr_zero(m_words[word])));
    }

private:
    std::vector<quint64> m_words;
    std::vector<quint64> m_summary;
};
