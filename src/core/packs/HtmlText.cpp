// SPDX-License-Identifier: GPL-3.0-or-later
#include "HtmlText.h"

#include "TextSink.h"

#include <QStringDecoder>

#include <array>
#include <optional>

namespace HtmlText {

namespace {

// Latin-1's upper half, U+00A0 to U+00FF, by the names HTML gives them.
constexpr std::array<const char16_t *, 96> kLatin1Names = {
    u"nbsp",   u"iexcl",  u"cent",   u"pound",  u"curren", u"yen",    u"brvbar", u"sect",   u"uml",    u"copy",
    u"ordf",   u"laquo",  u"not",    u"shy",    u"reg",    u"macr",   u"deg",    u"plusmn", u"sup2",   u"sup3",
    u"acute",  u"micro",  u"para",   u"middot", u"cedil",  u"sup1",   u"ordm",   u"raquo",  u"frac14", u"frac12",
    u"frac34", u"iquest", u"Agrave", u"Aacute", u"Acirc",  u"Atilde", u"Auml",   u"Aring",  u"AElig",  u"Ccedil",
    u"Egrave", u"Eacute", u"Ecirc",  u"Euml",   u"Igrave", u"Iacute", u"Icirc",  u"Iuml",   u"ETH",    u"Ntilde",
    u"Ograve", u"Oacute", u"Ocirc",  u"Otilde", u"Ouml",   u"times",  u"Oslash", u"Ugrave", u"Uacute", u"Ucirc",
    u"Uuml",   u"Yacute", u"THORN",  u"szlig",  u"agrave", u"aacute", u"acirc",  u"atilde", u"auml",   u"aring",
    u"aelig",  u"ccedil", u"egrave", u"eacute", u"ecirc",  u"euml",   u"igrave", u"iacute", u"icirc",  u"iuml",
    u"eth",    u"ntilde", u"ograve", u"oacute", u"ocirc",  u"otilde", u"ouml",   u"divide", u"oslash", u"ugrave",
    u"uacute", u"ucirc",  u"uuml",   u"yacute", u"thorn",  u"yuml",
};

struct Named
{
    const char16_t *name;
    char32_t character;
};

constexpr Named kOtherNames[] = {
    {u"amp", U'&'},       {u"lt", U'<'},        {u"gt", U'>'},         {u"quot", U'"'},      {u"apos", U'\''},
    {u"OElig", 0x152},    {u"oelig", 0x153},    {u"Scaron", 0x160},    {u"scaron", 0x161},   {u"Yuml", 0x178},
    {u"fnof", 0x192},     {u"circ", 0x2C6},     {u"tilde", 0x2DC},     {u"ensp", 0x2002},    {u"emsp", 0x2003},
    {u"thinsp", 0x2009},  {u"zwnj", 0x200C},    {u"zwj", 0x200D},      {u"lrm", 0x200E},     {u"rlm", 0x200F},
    {u"ndash", 0x2013},   {u"mdash", 0x2014},   {u"lsquo", 0x2018},    {u"rsquo", 0x2019},   {u"sbquo", 0x201A},
    {u"ldquo", 0x201C},   {u"rdquo", 0x201D},   {u"bdquo", 0x201E},    {u"dagger", 0x2020},  {u"Dagger", 0x2021},
    {u"bull", 0x2022},    {u"hellip", 0x2026},  {u"permil", 0x2030},   {u"prime", 0x2032},   {u"Prime", 0x2033},
    {u"lsaquo", 0x2039},  {u"rsaquo", 0x203A},  {u"oline", 0x203E},    {u"frasl", 0x2044},   {u"euro", 0x20AC},
    {u"trade", 0x2122},   {u"larr", 0x2190},    {u"uarr", 0x2191},     {u"rarr", 0x2192},    {u"darr", 0x2193},
    {u"harr", 0x2194},    {u"minus", 0x2212},   {u"le", 0x2264},       {u"ge", 0x2265},      {u"ne", 0x2260},
    {u"infin", 0x221E},   {u"alpha", 0x3B1},    {u"beta", 0x3B2},      {u"pi", 0x3C0},       {u"mu", 0x3BC},
};

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'-' || c == u':' || c == u'_';
}

class Parser
{
public:
    Parser(QStringView html, TextSink &sink, Head head, Spacing spacing)
        : m_html(html)
        , m_sink(sink)
        , m_head(head)
        , m_spacing(spacing)
    {
    }
    // Parses from m_at on, up to a stretch of the input; false at the end.
    bool step(qsizetype stretch);

private:
    void text();
    void entity();
    void markup();
    void tag();
    void skipPast(QStringView end);
    void append(QStringView text);

    QStringView m_html;
    TextSink &m_sink;
    const Head m_head;
    const Spacing m_spacing;
    qsizetype m_at = 0;
};

bool Parser::step(qsizetype stretch)
{
    const qsizetype stop = qMin(m_html.size(), m_at + stretch);
    while (m_at < stop && !m_sink.isFull()) {
        const QChar c = m_html[m_at];
        if (c == u'<')
            markup();
        else if (c == u'&')
            entity();
        else
            text();
    }
    return m_at < m_html.size() && !m_sink.isFull();
}

void Parser::append(QStringView text)
{
    if (m_spacing == Spacing::Kept)
        m_sink.append(text);
    else
        m_sink.appendCollapsed(text);
}

void Parser::text()
{
    qsizetype end = m_at;
    while (end < m_html.size() && m_html[end] != u'<' && m_html[end] != u'&')
        ++end;
    append(m_html.mid(m_at, end - m_at));
    m_at = end;
}

// "&name;", "&#123;" or "&#x7B;"; anything else is the '&' itself. The ';' may be missing, as
// browsers allow.
void Parser::entity()
{
    qsizetype end = m_at + 1;
    const bool numeric = end < m_html.size() && m_html[end] == u'#';
    const bool hex = numeric && end + 1 < m_html.size() && (m_html[end + 1] == u'x' || m_html[end + 1] == u'X');
    end += numeric ? (hex ? 2 : 1) : 0;
    const qsizetype nameAt = end;
    while (end < m_html.size() && end - nameAt < 32 && m_html[end].isLetterOrNumber())
        ++end;
    const QStringView name = m_html.mid(nameAt, end - nameAt);
    char32_t character = 0;
    if (numeric) {
        bool ok = false;
        const uint value = name.toUInt(&ok, hex ? 16 : 10);
        character = ok && value > 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF) ? value : 0xFFFD;
        if (name.isEmpty())
            character = 0;
    } else {
        character = namedEntity(name);
    }
    if (character == 0) {
        append(u"&");
        ++m_at;
        return;
    }
    if (end < m_html.size() && m_html[end] == u';')
        ++end;
    const QString decoded = QString::fromUcs4(&character, 1);
    append(decoded);
    m_at = end;
}

void Parser::markup()
{
    const QStringView rest = m_html.mid(m_at);
    if (rest.startsWith(u"<!--")) {
        m_at += 4;
        skipPast(u"-->");
    } else if (rest.startsWith(u"<![CDATA[")) {
        const qsizetype end = m_html.indexOf(u"]]>", m_at + 9);
        const qsizetype stop = end < 0 ? m_html.size() : end;
        append(m_html.mid(m_at + 9, stop - m_at - 9));
        m_at = end < 0 ? m_html.size() : end + 3;
    } else if (rest.startsWith(u"<!") || rest.startsWith(u"<?")) {
        skipPast(u">");
    } else if (rest.size() > 1 && (rest[1].isLetter() || (rest[1] == u'/' && rest.size() > 2 && rest[2].isLetter()))) {
        tag();
    } else {
        append(u"<");
        ++m_at;
    }
}

void Parser::tag()
{
    const bool closing = m_html[m_at + 1] == u'/';
    qsizetype end = m_at + (closing ? 2 : 1);
    const qsizetype nameAt = end;
    while (end < m_html.size() && isNameChar(m_html[end]))
        ++end;
    const QString name = m_html.mid(nameAt, end - nameAt).toString().toLower();
    // To the tag's end, past quoted attribute values that may hold a '>'.
    QChar quote;
    while (end < m_html.size() && (m_html[end] != u'>' || !quote.isNull())) {
        const QChar c = m_html[end];
        if (!quote.isNull() && c == quote)
            quote = QChar();
        else if (quote.isNull() && (c == u'"' || c == u'\''))
            quote = c;
        ++end;
    }
    m_at = qMin(end + 1, m_html.size());
    const QStringView bare = QStringView(name).mid(name.indexOf(u':') + 1); // xhtml:p is p
    if (!closing && bare == u"head" && m_head == Head::Skipped) {
        // Skipped only when it ends: a head left open holds the page.
        const QString endTag = QStringLiteral("</") + name;
        const qsizetype close = m_html.indexOf(endTag, m_at, Qt::CaseInsensitive);
        if (close >= 0)
            m_at = close;
        return;
    }
    if (!closing && isHiddenElement(bare)) {
        const QString endTag = QStringLiteral("</") + name;
        const qsizetype close = m_html.indexOf(endTag, m_at, Qt::CaseInsensitive);
        m_at = close < 0 ? m_html.size() : close;
        return;
    }
    if (bare == u"br" || isBlockElement(bare))
        m_sink.lineBreak();
    else if (bare == u"td" || bare == u"th")
        m_sink.appendCollapsed(u" ");
}

void Parser::skipPast(QStringView end)
{
    const qsizetype at = m_html.indexOf(end, m_at);
    m_at = at < 0 ? m_html.size() : at + end.size();
}

// The encoding a <meta> names in the first bytes, where Qt knows it.
std::optional<QStringConverter::Encoding> declaredEncoding(QByteArrayView bytes)
{
    return QStringConverter::encodingForHtml(bytes.first(qMin<qsizetype>(bytes.size(), 4096)));
}

} // namespace

char32_t namedEntity(QStringView name)
{
    for (size_t i = 0; i < kLatin1Names.size(); ++i) {
        if (name == QStringView(kLatin1Names[i]))
            return char32_t(0xA0 + i);
    }
    for (const Named &named : kOtherNames) {
        if (name == QStringView(named.name))
            return named.character;
    }
    return 0;
}

// Skipped to their end tag.
bool isHiddenElement(QStringView lowerName)
{
    return lowerName == u"script" || lowerName == u"style" || lowerName == u"noscript" || lowerName == u"template"
           || lowerName == u"svg" || lowerName == u"math";
}

bool isBlockElement(QStringView lowerName)
{
    static const std::array<QStringView, 30> blocks = {
        u"p",       u"div",     u"h1",     u"h2",         u"h3",     u"h4",    u"h5",   u"h6",
        u"li",      u"tr",      u"ul",     u"ol",         u"dl",     u"dt",    u"dd",   u"table",
        u"section", u"article", u"header", u"footer",     u"aside",  u"nav",   u"pre",  u"blockquote",
        u"title",   u"hr",      u"form",   u"figcaption", u"address", u"main",
    };
    for (const QStringView block : blocks) {
        if (lowerName == block)
            return true;
    }
    return false;
}

QString decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const std::optional<QStringConverter::Encoding> declared = declaredEncoding(bytes);
    if (declared && *declared != QStringConverter::Utf8) {
        QStringDecoder decoder(*declared);
        return decoder.decode(bytes);
    }
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

bool extract(QStringView html, TextSink &sink, const std::atomic<bool> *stop, Head head, Spacing spacing)
{
    Parser parser(html, sink, head, spacing);
    // A look at the flag before every stretch of the input.
    do {
        if (stop && stop->load(std::memory_order_relaxed))
            return false;
    } while (parser.step(64 * 1024));
    return true;
}

} // namespace HtmlText
