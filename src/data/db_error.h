#pragma once

#include "base/error.h"

namespace os {

// A failure of the table engine: a key violation, a missing or unreadable
// table file, a statement the engine refused. text() is the engine's own
// message as the user sees it (the texts are listed in docs/data.md).
class DbError : public Error
{
public:
    using Error::Error;
};

} // namespace os
