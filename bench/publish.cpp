// Building the publishing post: the card types, the 68 configuration fields
// and the seven rate tables with N rows each, read through the table objects
// as the session reads them. Prints milliseconds per build (median of five)
// for several N, so that the growth can be seen, and the post's size.
#include "base/messages.h"
#include "base/settings.h"
#include "data/catalogue.h"
#include "data/connection.h"
#include "data/main_data_mod.h"
#include "data/statement.h"
#include "data/table.h"
#include "data/transaction.h"
#include "support/bench_support.h"
#include "sync/publishing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

using namespace os;
using namespace os::bench;

namespace {

// N believable rows in each of the seven rate tables, keys in random order.
void fill(const QString& dir, int rows)
{
    for (const RateTableFormat& format : rateTableFormats()) {
        const TableDef& def = *findTableDef(format.table);
        auto conn = Connection::forTable(dir, format.table);
        Transaction tr(dir, format.table);
        QStringList marks;
        for (int i = 1; i <= format.columns.size(); ++i)
            marks << QStringLiteral("?%1").arg(i);
        Statement st(conn->handle(), QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                         .arg(format.table, format.columns.join(QLatin1Char(',')),
                                              marks.join(QLatin1Char(','))));
        for (int r = 0; r < rows; ++r) {
            const int key = int((quint64(r) * 7919) % quint64(rows)); // distinct, shuffled
            for (int c = 0; c < format.columns.size(); ++c) {
                const FieldType type = def.field(format.columns.at(c))->type;
                if (c == 0 && isTextType(type))
                    st.bind(c + 1, QStringLiteral("K%1").arg(key, 6, 10, QLatin1Char('0')));
                else if (c == 0)
                    st.bind(c + 1, key + 1);
                else if (isTextType(type))
                    st.bind(c + 1, QStringLiteral("Orders shipped to region %1").arg(r % 97));
                else if (type == FieldType::Logical)
                    st.bind(c + 1, r % 2);
                else
                    st.bind(c + 1, double(r % 1000) / 160.0);
            }
            st.step();
            st.reset();
        }
        tr.commit();
    }
}

// CPU time of this thread: on a loaded machine the wall clock also counts
// the time other programs had the processor.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

double buildMs(const QString& dir, qsizetype* bytes, double* cpu)
{
    std::vector<double> times;
    std::vector<double> cpus;
    for (int run = 0; run < 5; ++run) {
        std::vector<std::unique_ptr<Table>> tables;
        const auto tableFor = [&](const RateTableFormat& format) -> Table& {
            tables.push_back(std::make_unique<Table>(format.table));
            tables.back()->setDirectory(dir);
            return *tables.back();
        };
        QElapsedTimer t;
        const double c0 = cpuMs();
        t.start();
        const QByteArray c =
            buildConfiguration(settings(), dir, tableFor, [](const QString&, const QString&) {});
        times.push_back(double(t.nsecsElapsed()) / 1e6);
        cpus.push_back(cpuMs() - c0);
        *bytes = c.size();
    }
    std::sort(times.begin(), times.end());
    std::sort(cpus.begin(), cpus.end());
    *cpu = cpus[cpus.size() / 2];
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    YesToAll silent;
    setMessageService(&silent);
    std::printf(
        "rows per table  wall ms  cpu ms  cpu ms per 1000 rows  post bytes   (medians of 5)\n");
    for (const int rows : {1000, 5000, 10000, 20000}) {
        QTemporaryDir tmp;
        TMainDataMod::CreateMissingTables(tmp.path());
        fill(tmp.path(), rows);
        qsizetype bytes = 0;
        double cpu = 0;
        const double ms = buildMs(tmp.path(), &bytes, &cpu);
        std::printf("%14d  %7.1f  %6.1f  %20.2f  %10lld\n", rows, ms, cpu,
                    cpu * 1000.0 / (7.0 * rows), static_cast<long long>(bytes));
    }
    setMessageService(nullptr);
    return 0;
}
