#include "gui/mail/tag_highlighter.h"

#include "mail/merge_letter.h"

#include <QStringList>

namespace os {

namespace {

enum BlockState
{
    Plain = 0,
    InNote = 1 // a "<!" opened on an earlier line is not closed yet
};

} // namespace

TagHighlighter::TagHighlighter(QTextDocument* document) : QSyntaxHighlighter(document)
{
    QStringList alternatives;
    for (const QString& tag : mergeTags())
        alternatives << QRegularExpression::escape(tag);
    alternatives << QRegularExpression::escape(QString::fromLatin1(kShippingInfoTag));
    // Longest first, so that %io_order_total% is not read as a shorter tag.
    std::sort(alternatives.begin(), alternatives.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    m_tags = QRegularExpression(alternatives.join(QLatin1Char('|')),
                                QRegularExpression::CaseInsensitiveOption);
    m_tagFormat.setForeground(QColor(0, 0, 128));
    m_tagFormat.setFontWeight(QFont::Bold);
    m_tagFormat.setBackground(QColor(225, 235, 255));
    m_noteFormat.setForeground(QColor(0, 110, 0));
    m_noteFormat.setFontItalic(true);
}

void TagHighlighter::highlightBlock(const QString& text)
{
    auto it = m_tags.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        setFormat(int(m.capturedStart()), int(m.capturedLength()), m_tagFormat);
    }
    // "<! ... !>" notes, which may run over lines.
    setCurrentBlockState(Plain);
    bool open = previousBlockState() == InNote;
    qsizetype start = open ? 0 : text.indexOf(QLatin1String("<!"));
    while (start >= 0) {
        const qsizetype end = text.indexOf(QLatin1String("!>"), open ? start : start + 2);
        open = false;
        if (end < 0) {
            setCurrentBlockState(InNote);
            setFormat(int(start), int(text.size() - start), m_noteFormat);
            break;
        }
        setFormat(int(start), int(end + 2 - start), m_noteFormat);
        start = text.indexOf(QLatin1String("<!"), end + 2);
    }
}

} // namespace os
