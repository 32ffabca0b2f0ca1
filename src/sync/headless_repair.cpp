#include "sync/headless_repair.h"

#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "data/repair.h"
#include "sync/headless.h"

namespace os {

int runRepair()
{
    try {
        DatabaseRepair repair(AppPaths::dataDir(), AppPaths::homeFile(QStringLiteral("backups")));
        const bool ok = repair.run(
            [](const QString& type, const QString& message) { printLogRow(type, message); });
        return ok ? 0 : 1;
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    }
}

} // namespace os
