#include "data_fixture.h"
#include "test_datamodule.h"
#include "test_engine.h"
#include "test_paging.h"

#include <QCoreApplication>
#include <QTest>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--post-loop"))
        return runPostLoopChild(args.at(2));
    if (args.size() == 3 && args.at(1) == QLatin1String("--create"))
        return runCreateChild(args.at(2));
    int status = 0;
    TestEngine engine;
    status |= QTest::qExec(&engine, argc, argv);
    TestPaging paging;
    status |= QTest::qExec(&paging, argc, argv);
    TestDataModule module;
    status |= QTest::qExec(&module, argc, argv);
    return status;
}
