#include "base/ini_file.h"

#include "base/owner_only_file.h"

#include <QFile>
#include <QStringDecoder>

namespace os {

namespace {

QString decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    // A file written by an older program in a Western code page is not UTF-8;
    // Latin-1 keeps its accented letters instead of replacement characters.
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

// A line break inside a value would start a new line, and with it a key or a
// section of the typist's choosing.
QString oneLine(const QString& s)
{
    QString out = s;
    for (QChar& c : out)
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return out;
}

} // namespace

IniFile::IniFile(const QString& path) : m_path(path) {}

bool IniFile::load()
{
    m_lines.clear();
    m_error.clear();
    m_eol = QStringLiteral("\n");
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = f.errorString();
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        m_error = f.errorString();
        return false;
    }
    const QString text = decode(bytes);
    const qsizetype firstBreak = text.indexOf(QLatin1Char('\n'));
    if (firstBreak > 0 && text.at(firstBreak - 1) == QLatin1Char('\r'))
        m_eol = QStringLiteral("\r\n");

    QStringList raw = text.split(QLatin1Char('\n'));
    if (!raw.isEmpty() && raw.last().isEmpty())
        raw.removeLast(); // the break after the last line
    for (QString& r : raw) {
        if (r.endsWith(QLatin1Char('\r')))
            r.chop(1);
        Line line;
        line.raw = r;
        const QString t = r.trimmed();
        if (t.startsWith(QLatin1Char('['))) {
            const qsizetype close = t.indexOf(QLatin1Char(']'));
            if (close > 0) {
                line.kind = Line::Section;
                line.name = t.mid(1, close - 1).trimmed();
            }
        } else if (!t.startsWith(QLatin1Char(';')) && !t.startsWith(QLatin1Char('#'))) {
            const qsizetype eq = t.indexOf(QLatin1Char('='));
            if (eq > 0) {
                const QString key = t.left(eq).trimmed();
                if (!key.isEmpty()) {
                    line.kind = Line::Entry;
                    line.name = key;
                    line.value = t.mid(eq + 1).trimmed();
                }
            }
        }
        m_lines.append(line);
    }
    return true;
}

int IniFile::findSection(const QString& section) const
{
    for (int i = 0; i < m_lines.size(); ++i)
        if (m_lines.at(i).kind == Line::Section &&
            m_lines.at(i).name.compare(section, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int IniFile::sectionEnd(int header) const
{
    int i = header + 1;
    while (i < m_lines.size() && m_lines.at(i).kind != Line::Section)
        ++i;
    return i;
}

int IniFile::findKey(int header, const QString& key) const
{
    if (header < 0)
        return -1;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (m_lines.at(i).kind == Line::Entry &&
            m_lines.at(i).name.compare(key, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool IniFile::containsSection(const QString& section) const
{
    return findSection(section) >= 0;
}

bool IniFile::contains(const QString& section, const QString& key) const
{
    return findKey(findSection(section), key) >= 0;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const
{
    const int i = findKey(findSection(section), key);
    if (i < 0)
        return std::nullopt;
    return m_lines.at(i).value;
}

QString IniFile::value(const QString& section, const QString& key,
                       const QString& defaultValue) const
{
    return value(section, key).value_or(defaultValue);
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value)
{
    const QString v = oneLine(value).trimmed(); // read back trimmed anyway
    int header = findSection(section);
    if (header < 0) {
        Line h;
        h.kind = Line::Section;
        h.name = section;
        h.raw = QLatin1Char('[') + section + QLatin1Char(']');
        m_lines.append(h);
        header = int(m_lines.size()) - 1;
    }
    const int at = findKey(header, key);
    if (at >= 0) {
        Line& line = m_lines[at];
        if (line.value != v) {
            line.value = v;
            line.changed = true; // keeps the key's own spelling
        }
        return;
    }
    // After the last key of the section, so that blank lines and comments
    // that lead into the next section stay with it.
    int insertAt = header + 1;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (m_lines.at(i).kind == Line::Entry)
            insertAt = i + 1;
    Line e;
    e.kind = Line::Entry;
    e.name = key;
    e.value = v;
    e.changed = true;
    m_lines.insert(insertAt, e);
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const Line& l : m_lines)
        if (l.kind == Line::Section)
            out += l.name;
    return out;
}

QStringList IniFile::keys(const QString& section) const
{
    QStringList out;
    const int header = findSection(section);
    if (header < 0)
        return out;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i)
        if (m_lines.at(i).kind == Line::Entry)
            out += m_lines.at(i).name;
    return out;
}

QString IniFile::text() const
{
    QString out;
    for (const Line& l : m_lines) {
        out += l.changed ? l.name + QLatin1Char('=') + l.value : l.raw;
        out += m_eol;
    }
    return out;
}

bool IniFile::save()
{
    // The settings file holds carrier passwords.
    m_error = replaceFileOwnerOnly(m_path, text().toUtf8());
    return m_error.isEmpty();
}

} // namespace os
