#include "base/program_version.h"

#include "version.h"

namespace os {

QString programVersion()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(OS_VERSION_MAJOR)
        .arg(OS_VERSION_MINOR)
        .arg(OS_VERSION_PATCH)
        .arg(OS_VERSION_TWEAK);
}

} // namespace os
