#pragma once

#include <QString>

#include <stdexcept>

namespace os {

// Base of every error the program raises to a caller that shows it: the
// table engine's (DbError), the transfer client's (HttpError), a store
// session's (SessionError), a conversion's. text() is what the user sees.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

// Raised where the program must end at once (an old table layout, a failed
// binding of the data module); main() ends the process with code().
class ProgramTermination : public std::exception
{
public:
    explicit ProgramTermination(int code = 1) : m_code(code) {}
    int code() const { return m_code; }
    const char* what() const noexcept override { return "program termination"; }

private:
    int m_code;
};

} // namespace os
