#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace os {

// An INI file read and written with the Windows profile rules:
// - sections and keys are matched without regard to case; the first section
//   and the first key of a name win when a name repeats;
// - a key already in the file keeps its place and its own spelling, only its
//   value changes; a new key goes after the last key of its section; a new
//   section goes to the end of the file;
// - every other line (comments, blank lines, lines that are not key=value,
//   lines before the first section) is kept as it stands;
// - blanks around keys and values are ignored; a last line without a line
//   break is read like any other.
// Files are read as UTF-8 (Latin-1 when the bytes are not valid UTF-8) and
// written as UTF-8 with the line breaks the file already used.
// save() replaces the file atomically (temporary file in the same directory,
// then rename), so a crash or a full disk never leaves a half-written file,
// and leaves it readable and writable by its owner only.
class IniFile
{
public:
    explicit IniFile(const QString& path);

    // Reads the file; false when it is missing or unreadable (the object is
    // then empty and save() would create the file).
    bool load();
    bool save();
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

    bool contains(const QString& section, const QString& key) const;
    bool containsSection(const QString& section) const;
    std::optional<QString> value(const QString& section, const QString& key) const;
    QString value(const QString& section, const QString& key, const QString& defaultValue) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    QStringList sections() const;                   // in file order, as spelled
    QStringList keys(const QString& section) const; // in file order, as spelled
    QString text() const;                           // what save() writes

private:
    struct Line
    {
        enum Kind
        {
            Other,
            Section,
            Entry
        };
        Kind kind = Other;
        QString raw;   // the line as read (Other), or rebuilt when set
        QString name;  // section name or key, as spelled in the file
        QString value; // Entry value
        bool changed = false;
    };
    int findSection(const QString& section) const;     // header line index or -1
    int sectionEnd(int header) const;                  // index of the next header or size
    int findKey(int header, const QString& key) const; // entry line index or -1

    QString m_path;
    QString m_error;
    QString m_eol = QStringLiteral("\n");
    QList<Line> m_lines;
};

} // namespace os
