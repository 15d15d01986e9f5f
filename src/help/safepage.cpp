#include "help/safepage.h"

#include <array>
#include <string_view>
#include <vector>

namespace km {

namespace {

// QTextDocument's time grows faster than the page with nested tables, nested
// blocks, many tables, rows, cells and spans, unbroken words, piled-up marks
// and bidi embeddings; these bounds keep a 1 MiB page well below a second.
constexpr int kMaxDepth = 16;
constexpr int kMaxTableDepth = 2;
constexpr int kMaxTables = 16;
constexpr int kMaxCells = 400;
constexpr int kMaxColumns = 24;
constexpr int kMaxSpan = 16;
constexpr int kMaxBlocks = 2000;
constexpr int kMaxElements = 10000;
constexpr int kMaxText = 100000;
constexpr int kMaxRun = 64;
constexpr int kMaxMarks = 8;
constexpr qsizetype kMaxHref = 2048;

enum class Kind {
    None, // no element open
    Skip, // the tag goes with its content; unknown tags go without it
    Inline,
    Link,
    Font,
    Leaf, // blocks of text only: p, h1..h6, pre
    Container,
    List,
    Item,
    DefList,
    DefItem,
    Table,
    Row,
    Cell,
    Break,
    Rule,
};

struct TElement {
    const char* Name;
    Kind Type;
    const char* Shown; // the tag written out
};

// clang-format off
constexpr std::array kElements {
    TElement {"b", Kind::Inline, "b"}, TElement {"strong", Kind::Inline, "strong"},
    TElement {"i", Kind::Inline, "i"}, TElement {"em", Kind::Inline, "em"},
    TElement {"u", Kind::Inline, "u"}, TElement {"ins", Kind::Inline, "u"},
    TElement {"s", Kind::Inline, "s"}, TElement {"strike", Kind::Inline, "s"}, TElement {"del", Kind::Inline, "s"},
    TElement {"code", Kind::Inline, "code"}, TElement {"tt", Kind::Inline, "tt"},
    TElement {"kbd", Kind::Inline, "kbd"}, TElement {"samp", Kind::Inline, "samp"},
    TElement {"var", Kind::Inline, "var"}, TElement {"cite", Kind::Inline, "cite"},
    TElement {"dfn", Kind::Inline, "dfn"}, TElement {"small", Kind::Inline, "small"},
    TElement {"big", Kind::Inline, "big"}, TElement {"sub", Kind::Inline, "sub"},
    TElement {"sup", Kind::Inline, "sup"},
    TElement {"a", Kind::Link, "a"}, TElement {"font", Kind::Font, "font"},
    TElement {"p", Kind::Leaf, "p"}, TElement {"pre", Kind::Leaf, "pre"},
    TElement {"h1", Kind::Leaf, "h1"}, TElement {"h2", Kind::Leaf, "h2"}, TElement {"h3", Kind::Leaf, "h3"},
    TElement {"h4", Kind::Leaf, "h4"}, TElement {"h5", Kind::Leaf, "h5"}, TElement {"h6", Kind::Leaf, "h6"},
    TElement {"div", Kind::Container, "div"}, TElement {"center", Kind::Container, "center"},
    TElement {"blockquote", Kind::Container, "blockquote"}, TElement {"address", Kind::Container, "address"},
    TElement {"section", Kind::Container, "div"}, TElement {"article", Kind::Container, "div"},
    TElement {"header", Kind::Container, "div"}, TElement {"footer", Kind::Container, "div"},
    TElement {"nav", Kind::Container, "div"}, TElement {"main", Kind::Container, "div"},
    TElement {"aside", Kind::Container, "div"}, TElement {"figure", Kind::Container, "div"},
    TElement {"figcaption", Kind::Container, "div"}, TElement {"details", Kind::Container, "div"},
    TElement {"summary", Kind::Container, "div"},
    TElement {"ul", Kind::List, "ul"}, TElement {"ol", Kind::List, "ol"},
    TElement {"menu", Kind::List, "ul"}, TElement {"dir", Kind::List, "ul"},
    TElement {"li", Kind::Item, "li"},
    TElement {"dl", Kind::DefList, "dl"}, TElement {"dt", Kind::DefItem, "dt"}, TElement {"dd", Kind::DefItem, "dd"},
    TElement {"table", Kind::Table, "table"}, TElement {"tr", Kind::Row, "tr"},
    TElement {"td", Kind::Cell, "td"}, TElement {"th", Kind::Cell, "th"},
    TElement {"br", Kind::Break, "br"}, TElement {"hr", Kind::Rule, "hr"},
    TElement {"script", Kind::Skip, ""}, TElement {"style", Kind::Skip, ""}, TElement {"title", Kind::Skip, ""},
    TElement {"textarea", Kind::Skip, ""}, TElement {"xmp", Kind::Skip, ""}, TElement {"svg", Kind::Skip, ""},
    TElement {"math", Kind::Skip, ""}, TElement {"template", Kind::Skip, ""},
};
// clang-format on
constexpr int kIgnored = -1;

constexpr int Id(std::string_view name)
{
    for (int i = 0; i < int(kElements.size()); ++i)
        if (name == kElements[i].Name)
            return i;
    return kIgnored;
}
constexpr int kPre = Id("pre");
constexpr int kRow = Id("tr");
constexpr int kCell = Id("td");

int ElementOf(QStringView name)
{
    std::array<char, 12> lower {};
    if (name.size() >= qsizetype(lower.size()))
        return kIgnored;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c >= 0x80)
            return kIgnored;
        lower[i] = char(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
    }
    return Id(std::string_view(lower.data(), name.size()));
}

bool IsBlank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

// Embeddings and isolates nest, and their nesting costs the layout dearly.
bool IsBidiControl(char32_t c) { return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069); }

bool IsShown(char32_t c)
{
    return c != 0 && (c >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r') && !(c >= 0x7F && c <= 0x9F)
        && !(c >= 0xD800 && c <= 0xDFFF) && c <= 0x10FFFF && !IsBidiControl(c);
}

int Digit(QChar c, bool hex)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (hex && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (hex && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// The length of a character reference at `at` (&amp; &#228; &#xE4;), 0 when there is none.
qsizetype ReferenceLength(QStringView s, qsizetype at)
{
    qsizetype i = at + 1;
    if (i < s.size() && s[i] == u'#') {
        ++i;
        const bool hex = i < s.size() && (s[i] == u'x' || s[i] == u'X');
        if (hex)
            ++i;
        const qsizetype digits = i;
        char32_t value = 0;
        for (; i < s.size() && i - digits < 7 && Digit(s[i], hex) >= 0; ++i)
            value = value * (hex ? 16 : 10) + Digit(s[i], hex);
        if (i == digits || i >= s.size() || s[i] != u';' || !IsShown(value))
            return 0;
        return i + 1 - at;
    }
    const qsizetype letters = i;
    for (; i < s.size() && i - letters < 32 && s[i].unicode() < 0x80 && s[i].isLetterOrNumber(); ++i) { }
    if (i == letters || !s[letters].isLetter() || i >= s.size() || s[i] != u';')
        return 0;
    return i + 1 - at;
}

// A number at the start of an attribute value, at most 6 digits; -1 without one.
int LeadingNumber(QStringView v)
{
    v = v.trimmed();
    int n = 0;
    qsizetype i = 0;
    for (; i < v.size() && i < 6 && v[i] >= u'0' && v[i] <= u'9'; ++i)
        n = n * 10 + (v[i].unicode() - u'0');
    return i == 0 ? -1 : n;
}

int Span(QStringView v) { return qBound(1, LeadingNumber(v), kMaxSpan); }

bool AllOf(QStringView v, bool (*allowed)(QChar))
{
    for (QChar c : v)
        if (!allowed(c))
            return false;
    return true;
}

struct TAttributes {
    QStringView Href, Align, Colspan, Rowspan, Border, Cellpadding, Cellspacing, Width, Color, Size;
};

struct TOpen {
    int Element;
    int Cells = 0; // tables: cells so far
    int RowCells = 0; // tables: cells in the current row
};

class TCleaner {
public:
    explicit TCleaner(QStringView in)
        : m_in(in)
    {
        m_out.reserve(qMin<qsizetype>(in.size(), 2 * kMaxText) + 1024);
        // Never more than kMaxDepth: references into the stack stay valid.
        m_stack.reserve(kMaxDepth + 1);
    }

    QString Run()
    {
        while (m_pos < m_in.size() && !m_full) {
            const QChar c = m_in[m_pos];
            if (c == u'<')
                Markup();
            else if (c == u'&')
                Reference();
            else
                Character();
        }
        CloseTo(0);
        if (m_full)
            m_out += QStringLiteral("<p>\u2026</p>");
        return m_out;
    }

private:
    Kind TypeAt(qsizetype i) const { return kElements[m_stack[i].Element].Type; }
    Kind Top() const { return m_stack.empty() ? Kind::None : TypeAt(m_stack.size() - 1); }
    static bool IsTablePart(Kind k) { return k == Kind::Table || k == Kind::Row || k == Kind::Cell; }
    static bool IsBlock(Kind k) { return k >= Kind::Leaf; }
    // What lies in a table cell is laid out again for each table around it.
    int Weight() const { return 1 << m_tableDepth; }

    // --- Reading ---

    void Markup()
    {
        const qsizetype next = m_pos + 1;
        const QChar c = next < m_in.size() ? m_in[next] : QChar();
        if (c.isLetter() && c.unicode() < 0x80) {
            StartTag();
        } else if (c == u'/' && next + 1 < m_in.size() && m_in[next + 1].isLetter()) {
            EndTag();
        } else if (c == u'!' && m_in.mid(next).startsWith(u"!--")) {
            const qsizetype end = m_in.indexOf(u"-->", next + 3);
            m_pos = end < 0 ? m_in.size() : end + 3;
        } else if (c == u'!' || c == u'?' || c == u'/') {
            const qsizetype end = m_in.indexOf(u'>', next);
            m_pos = end < 0 ? m_in.size() : end + 1;
        } else {
            Visible(u"&lt;", 1);
            ++m_pos;
        }
    }

    QStringView Name()
    {
        const qsizetype from = m_pos;
        while (m_pos < m_in.size() && !IsBlank(m_in[m_pos]) && m_in[m_pos] != u'/' && m_in[m_pos] != u'>')
            ++m_pos;
        return m_in.mid(from, m_pos - from);
    }

    void StartTag()
    {
        ++m_pos;
        const QStringView name = Name();
        TAttributes attributes;
        // Attributes up to the closing '>'; a tag the page never closes ends the page.
        while (true) {
            while (m_pos < m_in.size() && (IsBlank(m_in[m_pos]) || m_in[m_pos] == u'/'))
                ++m_pos;
            if (m_pos >= m_in.size())
                return;
            if (m_in[m_pos] == u'>')
                break;
            const qsizetype from = m_pos;
            while (m_pos < m_in.size() && !IsBlank(m_in[m_pos]) && m_in[m_pos] != u'>' && m_in[m_pos] != u'='
                && (m_pos == from || m_in[m_pos] != u'/'))
                ++m_pos;
            const QStringView key = m_in.mid(from, m_pos - from);
            while (m_pos < m_in.size() && IsBlank(m_in[m_pos]))
                ++m_pos;
            QStringView value;
            if (m_pos < m_in.size() && m_in[m_pos] == u'=') {
                ++m_pos;
                while (m_pos < m_in.size() && IsBlank(m_in[m_pos]))
                    ++m_pos;
                if (m_pos < m_in.size() && (m_in[m_pos] == u'"' || m_in[m_pos] == u'\'')) {
                    const qsizetype end = m_in.indexOf(m_in[m_pos], m_pos + 1);
                    if (end < 0) {
                        m_pos = m_in.size();
                        return;
                    }
                    value = m_in.mid(m_pos + 1, end - m_pos - 1);
                    m_pos = end + 1;
                } else {
                    const qsizetype start = m_pos;
                    while (m_pos < m_in.size() && !IsBlank(m_in[m_pos]) && m_in[m_pos] != u'>')
                        ++m_pos;
                    value = m_in.mid(start, m_pos - start);
                }
            }
            Keep(attributes, key, value);
        }
        ++m_pos;
        const int element = ElementOf(name);
        if (element == kIgnored)
            return;
        if (kElements[element].Type == Kind::Skip) {
            const QString end = QStringLiteral("</") + name.toString();
            const qsizetype at = m_in.indexOf(end, m_pos, Qt::CaseInsensitive);
            m_pos = at < 0 ? m_in.size() : at;
            return;
        }
        Start(element, attributes);
    }

    static void Keep(TAttributes& a, QStringView key, QStringView value)
    {
        const auto is
            = [key](const char* name) { return key.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0; };
        // The first of each counts, as in a browser.
        const auto take = [&](QStringView& slot, const char* name) {
            if (slot.isNull() && is(name))
                slot = value.isNull() ? QStringView(u"") : value;
        };
        take(a.Href, "href");
        take(a.Align, "align");
        take(a.Colspan, "colspan");
        take(a.Rowspan, "rowspan");
        take(a.Border, "border");
        take(a.Cellpadding, "cellpadding");
        take(a.Cellspacing, "cellspacing");
        take(a.Width, "width");
        take(a.Color, "color");
        take(a.Size, "size");
    }

    void EndTag()
    {
        m_pos += 2;
        const QStringView name = Name();
        const qsizetype end = m_in.indexOf(u'>', m_pos);
        m_pos = end < 0 ? m_in.size() : end + 1;
        const int element = ElementOf(name);
        if (element != kIgnored)
            End(element);
    }

    void Reference()
    {
        m_marks = 0;
        const qsizetype length = ReferenceLength(m_in, m_pos);
        if (length == 0) {
            Visible(u"&amp;", 1);
            ++m_pos;
            return;
        }
        Visible(m_in.mid(m_pos, length), 1);
        m_pos += length;
    }

    void Character()
    {
        const QChar c = m_in[m_pos];
        if (IsBlank(c)) {
            ++m_pos;
            Blank(c);
            return;
        }
        char32_t code = c.unicode();
        qsizetype length = 1;
        if (c.isHighSurrogate() && m_pos + 1 < m_in.size() && m_in[m_pos + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(c, m_in[m_pos + 1]);
            length = 2;
        }
        const QStringView text = m_in.mid(m_pos, length);
        m_pos += length;
        if (!IsShown(code))
            return;
        const bool mark = QChar::isMark(code);
        if (mark && m_marks >= kMaxMarks)
            return;
        if (code == u'>')
            Visible(u"&gt;", 1);
        else
            Visible(text, 1);
        m_marks = mark ? m_marks + 1 : 0;
    }

    void Blank(QChar c)
    {
        m_marks = 0;
        if (m_pre == 0) {
            m_run = 0;
            m_pendingSpace = m_lineHasText;
            return;
        }
        // In a pre block every blank is laid out, so it counts as text.
        if (c == u'\r')
            return;
        if (c == u'\n' && m_blocks + Weight() <= kMaxBlocks) {
            EnsureFlow();
            m_blocks += Weight();
            m_out += u'\n';
            m_run = 0;
            return;
        }
        Visible(c == u'\t' ? QStringView(u"\t") : QStringView(u" "), 1);
    }

    // --- Writing ---

    void Visible(QStringView text, int count)
    {
        EnsureFlow();
        FlushSpace();
        if (m_text + count * Weight() > kMaxText) {
            m_full = true;
            return;
        }
        if (m_run >= kMaxRun) {
            m_out += QChar(0x200B); // a chance to break the line
            m_run = 0;
        }
        m_out += text;
        m_text += count * Weight();
        m_run += count;
        m_lineHasText = true;
    }

    void FlushSpace()
    {
        if (m_pendingSpace && m_lineHasText) {
            m_out += u' ';
            m_run = 0;
        }
        m_pendingSpace = false;
    }

    void LineBreak()
    {
        m_pendingSpace = false;
        m_run = 0;
        if (m_blocks + Weight() > kMaxBlocks) {
            m_pendingSpace = m_lineHasText;
            return;
        }
        EnsureFlow();
        m_blocks += Weight();
        m_out += QStringLiteral("<br>");
        m_lineHasText = false;
    }

    // Where a block the page leaves out stood: one line break, however many there are.
    void SoftBreak()
    {
        if (m_lineHasText)
            LineBreak();
    }

    bool CanOpen(int count = 1, bool block = true) const
    {
        return int(m_stack.size()) + count <= kMaxDepth && m_elements + count <= kMaxElements
            && (!block || m_blocks + count * Weight() <= kMaxBlocks);
    }

    void Open(int element, const TAttributes& a = {})
    {
        const TElement& e = kElements[element];
        if (IsBlock(e.Type)) {
            m_pendingSpace = false;
            m_lineHasText = false;
            m_run = 0;
            m_blocks += Weight();
        } else {
            FlushSpace();
        }
        ++m_elements;
        m_out += u'<';
        m_out += QLatin1StringView(e.Shown);
        Attributes(e.Type, a);
        m_out += u'>';
        m_stack.push_back({element});
        m_pre += element == kPre;
        m_tableDepth += e.Type == Kind::Table;
    }

    void CloseTo(qsizetype size)
    {
        while (qsizetype(m_stack.size()) > size) {
            const int element = m_stack.back().Element;
            m_stack.pop_back();
            const TElement& e = kElements[element];
            m_out += QStringLiteral("</");
            m_out += QLatin1StringView(e.Shown);
            m_out += u'>';
            m_pre -= element == kPre;
            m_tableDepth -= e.Type == Kind::Table;
            if (IsBlock(e.Type)) {
                m_pendingSpace = false;
                m_lineHasText = false;
                m_run = 0;
            }
        }
    }

    void AttributeValue(QStringView v)
    {
        for (qsizetype i = 0; i < v.size(); ++i) {
            const QChar c = v[i];
            if (c.unicode() < 0x20)
                continue;
            if (c == u'&') {
                const qsizetype length = ReferenceLength(v, i);
                if (length > 0) {
                    m_out += v.mid(i, length);
                    i += length - 1;
                } else {
                    m_out += QStringLiteral("&amp;");
                }
            } else if (c == u'"') {
                m_out += QStringLiteral("&quot;");
            } else if (c == u'<') {
                m_out += QStringLiteral("&lt;");
            } else if (c == u'>') {
                m_out += QStringLiteral("&gt;");
            } else {
                m_out += c;
            }
        }
    }

    void Attribute(const char* name, QStringView value)
    {
        m_out += u' ';
        m_out += QLatin1StringView(name);
        m_out += QStringLiteral("=\"");
        AttributeValue(value);
        m_out += u'"';
    }

    void Number(const char* name, QStringView value, int high)
    {
        if (const int n = LeadingNumber(value); n >= 0)
            Attribute(name, QString::number(qMin(n, high)));
    }

    void Attributes(Kind type, const TAttributes& a)
    {
        switch (type) {
        case Kind::Link:
            Attribute("href", a.Href);
            break;
        case Kind::Font:
            if (!a.Color.isEmpty() && a.Color.size() <= 20
                && (a.Color.startsWith(u'#')
                        ? (a.Color.size() == 4 || a.Color.size() == 7)
                            && AllOf(a.Color.mid(1), [](QChar c) { return Digit(c, true) >= 0; })
                        : AllOf(a.Color, [](QChar c) { return c.isLetter() && c.unicode() < 0x80; })))
                Attribute("color", a.Color);
            if (a.Size.size() >= 1 && a.Size.size() <= 2 && a.Size.back() >= u'1' && a.Size.back() <= u'7'
                && (a.Size.size() == 1 || a.Size[0] == u'+' || a.Size[0] == u'-'))
                Attribute("size", a.Size);
            break;
        case Kind::Table:
            Number("border", a.Border, 4);
            Number("cellpadding", a.Cellpadding, 16);
            Number("cellspacing", a.Cellspacing, 16);
            if (a.Width.endsWith(u'%') && LeadingNumber(a.Width) >= 1 && LeadingNumber(a.Width) <= 100)
                Attribute("width", QString::number(LeadingNumber(a.Width)) + u'%');
            break;
        case Kind::Cell:
            if (Span(a.Colspan) > 1)
                Attribute("colspan", QString::number(Span(a.Colspan)));
            if (Span(a.Rowspan) > 1)
                Attribute("rowspan", QString::number(Span(a.Rowspan)));
            [[fallthrough]];
        case Kind::Leaf:
        case Kind::Container:
            for (QStringView align : {u"left", u"right", u"center", u"justify"})
                if (a.Align.trimmed().compare(align, Qt::CaseInsensitive) == 0)
                    Attribute("align", align);
            break;
        default:
            break;
        }
    }

    // --- Structure ---

    // The innermost open element, not looking past a table part unless asked for one.
    qsizetype Find(int element) const
    {
        const Kind type = kElements[element].Type;
        for (qsizetype i = qsizetype(m_stack.size()) - 1; i >= 0; --i) {
            if (m_stack[i].Element == element)
                return i;
            if (IsTablePart(TypeAt(i)) && !IsTablePart(type))
                return -1;
        }
        return -1;
    }

    qsizetype FindKind(Kind type, Kind boundary) const
    {
        for (qsizetype i = qsizetype(m_stack.size()) - 1; i >= 0; --i) {
            if (TypeAt(i) == type)
                return i;
            if (TypeAt(i) == boundary || (IsTablePart(TypeAt(i)) && !IsTablePart(type)))
                return -1;
        }
        return -1;
    }

    // A paragraph or heading ends where a block starts.
    void CloseLeaf()
    {
        for (qsizetype i = qsizetype(m_stack.size()) - 1; i >= 0; --i) {
            const Kind type = TypeAt(i);
            if (type == Kind::Leaf) {
                CloseTo(i);
                return;
            }
            if (type != Kind::Inline && type != Kind::Link && type != Kind::Font)
                return;
        }
    }

    // The rest of a table beyond its bounds follows it as plain lines.
    void Overflow(qsizetype table)
    {
        CloseTo(table);
        ++m_flatTables;
        SoftBreak();
    }

    // Text and elements go into a cell, never straight into a table or row.
    void EnsureFlow()
    {
        if (Top() == Kind::Table) {
            TOpen& table = m_stack.back();
            if (table.Cells >= kMaxCells || !CanOpen(2)) {
                Overflow(m_stack.size() - 1);
                return;
            }
            table.RowCells = 0;
            Open(kRow);
        }
        if (Top() == Kind::Row) {
            TOpen& table = m_stack[m_stack.size() - 2];
            if (table.Cells >= kMaxCells || table.RowCells >= kMaxColumns || !CanOpen()) {
                Overflow(m_stack.size() - 2);
                return;
            }
            ++table.Cells;
            ++table.RowCells;
            Open(kCell);
        }
    }

    void Start(int element, const TAttributes& a)
    {
        switch (kElements[element].Type) {
        case Kind::Break:
            LineBreak();
            break;
        case Kind::Rule:
            CloseLeaf();
            EnsureFlow();
            if (m_blocks + Weight() <= kMaxBlocks && m_elements < kMaxElements) {
                ++m_elements;
                m_blocks += Weight();
                m_out += QStringLiteral("<hr>");
                m_lineHasText = false;
                m_pendingSpace = false;
            } else {
                SoftBreak();
            }
            break;
        case Kind::Inline:
        case Kind::Font:
        case Kind::Link:
            EnsureFlow();
            if (kElements[element].Type == Kind::Link && Find(element) >= 0)
                CloseTo(Find(element));
            if (CanOpen(1, false)
                && (kElements[element].Type != Kind::Link
                    || (!a.Href.trimmed().isEmpty() && a.Href.size() <= kMaxHref)))
                Open(element, a);
            else
                ++m_dropped[element];
            break;
        case Kind::Leaf:
            CloseLeaf();
            EnsureFlow();
            if (CanOpen())
                Open(element, a);
            else
                SoftBreak();
            break;
        case Kind::Container:
        case Kind::List:
        case Kind::DefList:
            CloseLeaf();
            EnsureFlow();
            if (CanOpen()) {
                Open(element, a);
            } else {
                ++m_dropped[element];
                SoftBreak();
            }
            break;
        case Kind::Item:
            StartItem(element, Kind::List);
            break;
        case Kind::DefItem:
            StartItem(element, Kind::DefList);
            break;
        case Kind::Table:
            CloseLeaf();
            if (m_flatTables > 0 || m_tableDepth >= kMaxTableDepth || m_tables >= kMaxTables || !CanOpen(4)) {
                ++m_flatTables;
                SoftBreak();
                return;
            }
            EnsureFlow();
            if (m_flatTables > 0 || !CanOpen(3)) {
                ++m_flatTables;
                SoftBreak();
                return;
            }
            ++m_tables;
            Open(element, a);
            break;
        case Kind::Row:
        case Kind::Cell:
            StartTablePart(element, a);
            break;
        case Kind::None:
        case Kind::Skip:
            break;
        }
    }

    void StartItem(int element, Kind list)
    {
        const Kind item = kElements[element].Type;
        for (qsizetype i = qsizetype(m_stack.size()) - 1; i >= 0; --i) {
            if (TypeAt(i) == item) {
                CloseTo(i);
                break;
            }
            if (TypeAt(i) == list || IsTablePart(TypeAt(i)))
                break;
        }
        if (Top() == list && CanOpen()) {
            Open(element);
            return;
        }
        CloseLeaf();
        SoftBreak();
    }

    void StartTablePart(int element, const TAttributes& a)
    {
        const bool row = kElements[element].Type == Kind::Row;
        const qsizetype table = FindKind(Kind::Table, Kind::Table);
        if (m_flatTables > 0 || table < 0) {
            if (row)
                SoftBreak();
            else
                m_pendingSpace = m_lineHasText;
            return;
        }
        const bool inRow = !row && qsizetype(m_stack.size()) > table + 1 && TypeAt(table + 1) == Kind::Row;
        CloseTo(inRow ? table + 2 : table + 1);
        if (!inRow) {
            if (m_stack[table].Cells >= kMaxCells || !CanOpen(2)) {
                Overflow(table);
                return;
            }
            m_stack[table].RowCells = 0;
            Open(kRow);
            if (row)
                return;
        }
        // A spanning cell counts for the grid it covers.
        const int columns = Span(a.Colspan);
        const int area = columns * Span(a.Rowspan);
        if (m_stack[table].Cells + area > kMaxCells || m_stack[table].RowCells + columns > kMaxColumns || !CanOpen()) {
            Overflow(table);
            return;
        }
        m_stack[table].Cells += area;
        m_stack[table].RowCells += columns;
        Open(element, a);
    }

    void End(int element)
    {
        const Kind type = kElements[element].Type;
        switch (type) {
        case Kind::Inline:
        case Kind::Font:
        case Kind::Link:
        case Kind::Leaf:
        case Kind::Container:
        case Kind::List:
        case Kind::DefList: {
            if (m_dropped[element] > 0) {
                --m_dropped[element];
                if (IsBlock(type))
                    SoftBreak();
                return;
            }
            const qsizetype at = Find(element);
            if (at >= 0)
                CloseTo(at);
            return;
        }
        case Kind::Item:
        case Kind::DefItem: {
            const qsizetype at = FindKind(type, type == Kind::Item ? Kind::List : Kind::DefList);
            if (at >= 0 && m_stack[at].Element == element)
                CloseTo(at);
            return;
        }
        case Kind::Table:
            if (m_flatTables > 0) {
                --m_flatTables;
                SoftBreak();
            } else if (const qsizetype at = FindKind(Kind::Table, Kind::Table); at >= 0) {
                CloseTo(at);
            }
            return;
        case Kind::Row:
        case Kind::Cell:
            if (m_flatTables == 0) {
                const qsizetype at = FindKind(type, Kind::Table);
                if (at >= 0)
                    CloseTo(at);
            }
            return;
        default:
            return;
        }
    }

    QStringView m_in;
    qsizetype m_pos = 0;
    QString m_out;
    std::vector<TOpen> m_stack;
    std::array<int, kElements.size()> m_dropped {};
    int m_flatTables = 0;
    int m_tables = 0;
    int m_blocks = 0;
    int m_elements = 0;
    int m_text = 0;
    int m_run = 0;
    int m_marks = 0;
    int m_pre = 0;
    int m_tableDepth = 0;
    bool m_pendingSpace = false;
    bool m_lineHasText = false;
    bool m_full = false;
};

} // namespace

QString SafePage(QStringView html) { return TCleaner(html).Run(); }

QString SafeText(QStringView text)
{
    QString out;
    out.reserve(qMin<qsizetype>(text.size(), kMaxText) + 16);
    int shown = 0;
    int lines = 0;
    int run = 0;
    int marks = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            length = 2;
        }
        const QStringView character = text.mid(i, length);
        i += length - 1;
        if (!IsShown(c))
            continue;
        const bool mark = QChar::isMark(c);
        if (mark && marks >= kMaxMarks)
            continue;
        marks = mark ? marks + 1 : 0;
        if ((c == u'\n' && ++lines > kMaxBlocks) || ++shown > kMaxText) {
            out += QStringLiteral("\n\u2026");
            break;
        }
        if (c == u'\n' || c == u' ' || c == u'\t') {
            run = 0;
        } else if (++run > kMaxRun) {
            out += QChar(0x200B);
            run = 1;
        }
        out += character;
    }
    return out;
}

} // namespace km
