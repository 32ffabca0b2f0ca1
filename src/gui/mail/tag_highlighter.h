#pragma once

#include <QRegularExpression>
#include <QSyntaxHighlighter>

namespace os {

// Marks the merge tags of a letter (in any case of their letters) and any
// text between "<!" and "!>" (also over several lines) in a template body.
class TagHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT
public:
    explicit TagHighlighter(QTextDocument* document);

protected:
    void highlightBlock(const QString& text) override;

private:
    QRegularExpression m_tags;
    QTextCharFormat m_tagFormat;
    QTextCharFormat m_noteFormat;
};

} // namespace os
