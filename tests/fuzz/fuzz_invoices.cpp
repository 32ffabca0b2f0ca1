// The invoice cutter over any HTML section: it must end, stay inside the
// text, and write only <n>inv.html files of imported orders.
#include "silent_messages.h"
#include "sync/import_steps.h"
#include "sync/invoices.h"

#include "base/messages.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static os::test::SilentMessages silent;
    os::setMessageService(&silent);
    static QTemporaryDir dir;
    static const bool made = QDir(dir.path()).mkpath(QStringLiteral("html"));
    (void)made;

    os::ImportContext ctx;
    ctx.dataDir = dir.path();
    ctx.workDir = dir.path();
    // Small numbers count as imported, 3 as refused.
    for (qint64 n : {0, 1, 2, 3, 7, 10, 11, 12, 42})
        ctx.imported.insert(n);
    ctx.failed.insert(3);
    int logged = 0;
    ctx.log = [&logged](const QString&, const QString&) { ++logged; };

    try {
        os::ExtractInvoices(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), ctx);
    } catch (const os::ConversionError&) {
        // a number that is not one ends the session: an expected outcome
    }
    QDir html(dir.path() + QStringLiteral("/html"));
    for (const QString& f : html.entryList(QDir::Files)) {
        bool ok = false;
        const qint64 n = f.chopped(8).toLongLong(&ok);
        if (!f.endsWith(QStringLiteral("inv.html")) || !ok || !ctx.imported.contains(n) || n == 3)
            std::abort();
        html.remove(f);
    }
    return 0;
}
