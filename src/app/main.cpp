// Start-up: one program at a time, then either the windows or one of the
// headless modes (a scheduled store session, the import of a saved reply).

#include "app/Main.h"
#include "app/error.h"
#include "app/message_box.h"
#include "app/messages.h"
#include "app/paths.h"
#include "app/single_instance.h"
#include "app/toolbar_icons.h"
#include "data/datamodule.h"
#include "sync/headless.h"
#include "sync/import_reply.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QScreen>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace {

const char* const kUsage =
    "Usage: ordersentinel [--home DIR] [--session ACTION | --import-reply FILE]\n"
    "\n"
    "  --home DIR           use DIR as the program's own directory (the company\n"
    "                       data directory is DIR/data); default: the directory\n"
    "                       of the executable\n"
    "  --session ACTION     run one store session without windows, e.g.\n"
    "                       --session \"Get Orders & Information\"; the store\n"
    "                       password is read from standard input\n"
    "  --import-reply FILE  import a saved store reply without windows\n"
    "  --help               show this text\n";

struct Options
{
    QString home;
    QString session;
    QString importReply;
    bool hasSession = false;
    bool hasImport = false;
    bool help = false;
    QString error; // why the command line cannot be used
};

// Reads the command line before any application object exists, because the
// mode decides which one to create.
Options parseArguments(int argc, char** argv)
{
    Options o;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    for (int i = 0; i < args.size() && o.error.isEmpty(); ++i) {
        QString arg = args.at(i);
        QString value;
        bool inlineValue = false;
        const qsizetype eq = arg.indexOf(QLatin1Char('='));
        if (arg.startsWith(QLatin1String("--")) && eq > 0) {
            value = arg.mid(eq + 1);
            arg = arg.left(eq);
            inlineValue = true;
        }
        auto takeValue = [&](QString& into) {
            if (inlineValue) {
                into = value;
            } else if (i + 1 < args.size()) {
                into = args.at(++i);
            } else {
                o.error = QStringLiteral("%1 needs a value").arg(arg);
                return;
            }
            if (into.isEmpty())
                o.error = QStringLiteral("%1 needs a value").arg(arg);
        };
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.help = true;
        } else if (arg == QLatin1String("--home")) {
            takeValue(o.home);
        } else if (arg == QLatin1String("--session")) {
            takeValue(o.session);
            o.hasSession = true;
        } else if (arg == QLatin1String("--import-reply")) {
            takeValue(o.importReply);
            o.hasImport = true;
        } else {
            o.error = QStringLiteral("unknown argument: %1").arg(args.at(i));
        }
    }
    if (o.error.isEmpty() && o.hasSession && o.hasImport)
        o.error = QStringLiteral("--session and --import-reply cannot be used together");
    return o;
}

void printUsage(FILE* to)
{
    std::fputs(kUsage, to);
}

// The home named on the command line must exist; the default is the
// executable's own directory.
bool setHome(const Options& o)
{
    if (o.home.isEmpty()) {
        os::AppPaths::setHome(QCoreApplication::applicationDirPath());
        return true;
    }
    if (!QFileInfo(o.home).isDir()) {
        std::fprintf(stderr, "ordersentinel: --home: no such directory: %s\n",
                     o.home.toLocal8Bit().constData());
        return false;
    }
    os::AppPaths::setHome(o.home);
    return true;
}

int runHeadless(int argc, char** argv, const Options& o)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordersentinel"));
    if (!setHome(o))
        return 2;
    try {
        // The import takes the program lock itself (it is also run on its own).
        if (o.hasImport)
            return os::RunImportReply(o.importReply);
        os::SingleInstance lock;
        if (!lock.acquireOrReport())
            return 1;
        return os::RunHeadlessSession(o.session);
    } catch (const os::ProgramTermination& t) {
        return t.code();
    }
}

int runWindows(int argc, char** argv, const Options& o)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ordersentinel"));
    // Child windows show the program's picture, not the toolkit's.
    QApplication::setWindowIcon(os::MakeToolbarIcon(os::ToolbarIcon::Orders));
    os::InstallWindowServices();
    if (!setHome(o))
        return 2;

    os::SingleInstance lock;
    if (!lock.acquireOrReport())
        return 1;

    // The data module outlives the main window and its child windows, which
    // work on its tables until they are gone.
    std::unique_ptr<os::TMainDataMod> dataModule;
    try {
        os::TMainForm form;
        // Without a window manager "maximised" means nothing: size it to the
        // screen as well.
        if (form.screen())
            form.setGeometry(form.screen()->availableGeometry());
        form.showMaximized();
        dataModule = std::make_unique<os::TMainDataMod>();
        QCoreApplication::processEvents();
        form.OpenDatabaseCommand();
        return app.exec();
    } catch (const os::ProgramTermination& t) {
        return t.code();
    }
}

} // namespace

int main(int argc, char** argv)
{
    const Options o = parseArguments(argc, argv);
    if (!o.error.isEmpty()) {
        std::fprintf(stderr, "ordersentinel: %s\n\n", o.error.toLocal8Bit().constData());
        printUsage(stderr);
        return 2;
    }
    if (o.help) {
        printUsage(stdout);
        return 0;
    }
    if (o.hasSession || o.hasImport)
        return runHeadless(argc, argv, o);
    return runWindows(argc, argv, o);
}
