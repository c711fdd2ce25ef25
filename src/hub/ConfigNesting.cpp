#include "hub/ConfigNesting.h"

#include <vector>

namespace orva::hub {

namespace {

// Reads a TOML text byte by byte, knowing only strings, comments, table
// headers, brackets, commas, equal signs and dots.
class NestingScan
{
public:
    NestingScan(const QByteArray& text, int maxDepth)
        : m_text(text)
        , m_max(maxDepth)
    {
    }

    std::optional<NestingPlace> run()
    {
        while (m_at < m_text.size()) {
            const char c = m_text.at(m_at);
            if (c == '#') {
                skipTo('\n');
                continue;
            }
            if (c == '"' || c == '\'') {
                skipString(c);
                continue;
            }
            if (c == '\n') {
                if (m_open.empty())
                    m_keyDots = 0;
                ++m_line;
                m_lineStart = ++m_at;
                continue;
            }
            if (c == '[' && m_open.empty() && atLineStart()) {
                if (!header())
                    return place();
                continue;
            }
            if (c == '[' || c == '{') {
                m_open.push_back(0);
            } else if ((c == ']' || c == '}') && !m_open.empty()) {
                m_open.pop_back();
            } else if (c == ',' && !m_open.empty()) {
                m_open.back() = 0;
            } else if (c == '.') {
                if (m_open.empty())
                    ++m_keyDots;
                else
                    ++m_open.back();
            }
            if (depth() > m_max)
                return place();
            ++m_at;
        }
        return std::nullopt;
    }

private:
    int depth() const
    {
        int dots = m_keyDots;
        for (const int level : m_open)
            dots += level;
        return m_headerDepth + dots + int(m_open.size());
    }
    NestingPlace place() const { return NestingPlace{m_line, int(m_at - m_lineStart) + 1}; }
    bool atLineStart() const
    {
        for (qsizetype i = m_lineStart; i < m_at; ++i) {
            if (m_text.at(i) != ' ' && m_text.at(i) != '\t')
                return false;
        }
        return true;
    }
    void skipTo(char end)
    {
        while (m_at < m_text.size() && m_text.at(m_at) != end)
            ++m_at;
    }
    // A string, with its quotes: basic strings take escapes, literal ones
    // not; either may be multi-line between tripled quotes.
    void skipString(char quote)
    {
        const bool multi = m_text.mid(m_at, 3) == QByteArray(3, quote);
        m_at += multi ? 3 : 1;
        while (m_at < m_text.size()) {
            const char c = m_text.at(m_at);
            if (c == '\\' && quote == '"') {
                m_at += 2;
                continue;
            }
            if (c == '\n') {
                if (!multi)
                    return; // unterminated: the parser will say so
                ++m_line;
                m_lineStart = m_at + 1;
            }
            if (c == quote && (!multi || m_text.mid(m_at, 3) == QByteArray(3, quote))) {
                m_at += multi ? 3 : 1;
                return;
            }
            ++m_at;
        }
    }
    // [a.b.c] or [[a.b.c]]: the levels every key below it starts from.
    bool header()
    {
        m_headerDepth = 1;
        m_keyDots = 0;
        ++m_at;
        while (m_at < m_text.size() && m_text.at(m_at) != '\n') {
            const char c = m_text.at(m_at);
            if (c == '"' || c == '\'') {
                skipString(c);
                continue;
            }
            if (c == '#')
                return true;
            if (c == '.' && ++m_headerDepth > m_max)
                return false;
            ++m_at;
        }
        return true;
    }

    const QByteArray& m_text;
    const int m_max;
    qsizetype m_at = 0;
    qsizetype m_lineStart = 0;
    int m_line = 1;
    int m_headerDepth = 0;
    int m_keyDots = 0;       // of the key being read at the top level
    std::vector<int> m_open; // per open array or inline table, its element's dots
};

} // namespace

std::optional<NestingPlace> tooDeeplyNested(const QByteArray& text, int maxDepth)
{
    return NestingScan(text, maxDepth).run();
}

} // namespace orva::hub
