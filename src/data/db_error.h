#pragma once

#include "base/error.h"

namespace os {

// A failure of the table engine: a key violation, a missing or unreadable
// table file, a statement the engine refused. text() is the engine's own
// message as the user sees it (the texts are listed in docs/data.md).
class DbError : public Error
{
public:
    // What failed. A statement or a row (a key violation, a value of the
    // wrong kind, bad SQL) costs that statement only. A storage failure (a
    // full disk, an I/O error, a damaged or read-only file, no memory) may
    // have ended the transaction in progress: work after it would run
    // outside it.
    enum class Kind
    {
        Statement,
        Storage
    };

    explicit DbError(const QString& text, Kind kind = Kind::Statement) : Error(text), m_kind(kind)
    {
    }
    bool storageFailed() const { return m_kind == Kind::Storage; }

private:
    Kind m_kind;
};

} // namespace os
