#include "sync/headless_backup.h"

#include "base/messages.h"
#include "base/paths.h"
#include "base/text_utils.h"
#include "data/backup.h"
#include "data/db_error.h"
#include "sync/headless.h"

#include <QDir>

#include <cstdio>
#include <optional>

namespace os {

int runBackup(const QString& destination, const QString& keep, const QString& verify,
              bool withReplies)
{
    CompanyBackup::Options options;
    if (verify == QLatin1String("full")) {
        options.fullCheck = true;
    } else if (!verify.isEmpty() && verify != QLatin1String("quick")) {
        std::fputs("--verify takes quick or full.\n", stderr);
        return 2;
    }
    if (withReplies)
        options.repliesDir = AppPaths::homeFile(QStringLiteral("retrievals"));
    std::optional<int> keepCount;
    if (!keep.isEmpty()) {
        keepCount = parseInteger(keep);
        if (!keepCount || *keepCount < 1) {
            std::fputs("--keep needs the number of backups to keep, 1 or more.\n", stderr);
            return 2;
        }
    }
    const QString dest = QDir(destination).absolutePath();
    try {
        CompanyBackup backup(AppPaths::dataDir(), dest, options);
        QString current;
        const QString folder = backup.run([&current](const CompanyBackup::Progress& p) {
            if (p.file != current) {
                current = p.file;
                printLogRow(QStringLiteral("Backup"), current);
            }
            return true;
        });
        printLogRow(QStringLiteral("Backup"), QStringLiteral("Complete: ") + folder);
        // A backup that left a table out is not a good one to prune for.
        const QStringList failures = backup.failures();
        for (const QString& failure : failures)
            messages().error(failure);
        if (!failures.isEmpty())
            return 1;
        if (keepCount) {
            for (const QString& removed : CompanyBackup::prune(dest, *keepCount))
                printLogRow(QStringLiteral("Backup"), QStringLiteral("Removed: ") + removed);
        }
    } catch (const Error& e) {
        messages().error(e.text());
        return 1;
    } catch (const std::bad_alloc&) {
        messages().error(QStringLiteral("There is not enough memory to go on; the backup was not "
                                        "made."));
        return 1;
    }
    return 0;
}

} // namespace os
