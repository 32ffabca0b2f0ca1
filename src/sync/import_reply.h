#pragma once

#include <QString>

namespace os {

// `ordersentinel --import-reply FILE`: imports a saved store reply without
// windows. The program's home is set and the program lock held before; the
// return value is the process exit code.
int RunImportReply(const QString& file);

} // namespace os
