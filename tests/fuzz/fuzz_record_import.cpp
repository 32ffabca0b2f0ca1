// The record import over any work-file contents: orders, accounts, notes,
// marks and status lines go into a real company database in a temporary
// directory. No input may crash, hang or leave a transaction open; a
// conversion error is an expected outcome.
#include "silent_messages.h"
#include "sync/import_steps.h"

#include "base/messages.h"
#include "data/main_data_mod.h"
#include "data/query.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    f.write(bytes);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static os::test::SilentMessages silent;
    os::setMessageService(&silent);
    static QTemporaryDir dir;
    static const bool created = [] {
        os::TMainDataMod::CreateMissingTables(dir.path());
        return true;
    }();
    (void)created;

    // The input is the five work files one after another, cut at 0x1e.
    const QList<QByteArray> parts =
        QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)).split('\x1e');
    static const char* const kFiles[] = {"orders.dat", "accts.dat", "notes.dat", "invmarks.dat",
                                         "invstats.dat"};
    for (int i = 0; i < 5; ++i)
        writeFile(dir.filePath(QString::fromLatin1(kFiles[i])),
                  i < parts.size() ? parts[i] : QByteArray());

    os::ImportContext ctx;
    ctx.dataDir = dir.path();
    ctx.workDir = dir.path();
    using Step = void (*)(os::ImportContext&);
    for (Step step : {Step(os::ImportOrders), Step(os::ImportAccounts), Step(os::ImportNotes),
                      Step(os::ApplyInvoiceMarks), Step(os::ApplyInvoiceStatus)}) {
        try {
            step(ctx);
        } catch (const os::ConversionError&) {
        }
    }
    // Every step committed or rolled back: the tables can be emptied again.
    for (const char* table :
         {"orders.db", "customers.db", "invoice_notes.db", "invoice_result.db"}) {
        os::Query q;
        q.setDirectory(dir.path());
        q.setSql(QStringLiteral("DELETE FROM %1").arg(QString::fromLatin1(table)));
        q.exec();
    }
    return 0;
}
