#pragma once

#include "base/error.h"

namespace os {

// Ends a store session at once; its text is shown to the user and the
// session's closing steps still run.
class SessionError : public Error
{
public:
    using Error::Error;
};

} // namespace os
