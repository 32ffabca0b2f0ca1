// Start-up: one program at a time, then either the windows or one of the
// headless modes. Each headless mode is one row of kModes below: its flag,
// the options it takes, its line in --help, and the function that runs it.

#include "base/error.h"
#include "base/messages.h"
#include "base/paths.h"
#include "base/program_version.h"
#include "base/single_instance.h"
#include "data/main_data_mod.h"
#include "gui/app/main_form.h"
#include "gui/app/message_box.h"
#include "gui/app/toolbar_icons.h"
#include "gui/mail/new_mail_message.h"
#include "gui/mail/outbox_form.h"
#include "gui/sales/sales_charts.h"
#include "gui/todo/todo.h"
#include "mail/headless_outbox.h"
#include "orders/order_export.h"
#include "sales/sales_report.h"
#include "sync/headless.h"
#include "sync/headless_backup.h"
#include "sync/headless_repair.h"
#include "sync/import_reply.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMap>
#include <QScreen>
#include <QStringList>

#include <cstdio>
#include <memory>

namespace {

// The options given, by name ("--session"), with their values ("" for a switch).
using Args = QMap<QString, QString>;

struct Option
{
    const char* name;  // "--keep"
    const char* value; // "N", or null for a switch
};

struct Mode
{
    Option flag;                          // the option that selects the mode
    std::initializer_list<Option> extras; // further options only this mode takes
    const char* help;                     // its one line in --help
    bool takesLock;                       // main() takes the program lock before it runs
    int (*run)(const Args& args);         // returns the exit code
};

// clang-format off
const Mode kModes[] = {
    {{"--session", "ACTION"}, {{"--dry-run", nullptr}, {"--allow-example-values", nullptr}},
     "run one store session (\"Get Orders & Information\", ...); password on stdin; with "
     "--dry-run, \"Publish Options & Configurations\" prints what would change and sends nothing; "
     "a publish of example addresses (yourdomain.com) is refused without --allow-example-values",
     true,
     [](const Args& a) {
         return os::runHeadlessSession(a.value(QStringLiteral("--session")),
                                       a.contains(QStringLiteral("--dry-run")),
                                       a.contains(QStringLiteral("--allow-example-values")));
     }},
    // The import takes the program lock itself (it is also run on its own).
    {{"--import-reply", "FILE"}, {},
     "import a kept store reply from DIR/retrievals/ again, without the store", false,
     [](const Args& a) { return os::runImportReply(a.value(QStringLiteral("--import-reply"))); }},
    // Only reads: no lock, so it runs beside the windows or a retrieval.
    {{"--backup", "DEST"}, {{"--keep", "N"}, {"--verify", "quick|full"}, {"--with-replies", nullptr}},
     "back up the company database and invoice pages into a new folder in DEST; --keep N keeps "
     "the newest N; --verify full checks every index; --with-replies adds the kept store replies", false,
     [](const Args& a) {
         return os::runBackup(a.value(QStringLiteral("--backup")), a.value(QStringLiteral("--keep")),
                              a.value(QStringLiteral("--verify")),
                              a.contains(QStringLiteral("--with-replies")));
     }},
    // The Ordersentinel Database Repair Utility: holds both locks, so the
    // program is refused while it runs.
    {{"--repair", nullptr}, {},
     "check, recover, upgrade and pack every table file (the Ordersentinel Database Repair "
     "Utility); copies of the files go into DIR/backups first", true,
     [](const Args&) { return os::runRepair(); }},
    {{"--send-outbox", nullptr}, {},
     "send every message of the outbox (\"Send Messages\"); mail password on stdin when a login is set", true,
     [](const Args&) { return os::runSendOutbox(); }},
    // Only reads: no program lock, so it also runs beside the open program.
    {{"--export-orders", "FILE"}, {{"--state", "STATE"}},
     "write the orders (of one state, or ALL) to a CSV file", false,
     [](const Args& a) {
         return os::runExportOrders(a.value(QStringLiteral("--export-orders")),
                                    a.value(QStringLiteral("--state")));
     }},
    // Only reads: no program lock. A .pdf FILE draws the charts (off screen).
    {{"--sales-report", "FILE"}, {{"--from", "DATE"}, {"--to", "DATE"}, {"--by", "day|week|month"}},
     "write the sales of --from to --to (ISO dates, both included) per day, week or month as CSV, or the printed report for a .pdf FILE", false,
     [](const Args& a) {
         return os::runSalesReport(a.value(QStringLiteral("--sales-report")), a.value(QStringLiteral("--from")),
                                   a.value(QStringLiteral("--to")), a.value(QStringLiteral("--by")),
                                   os::writeSalesReportPdf);
     }},
};
// clang-format on

const Option kHome = {"--home", "DIR"};
const Option kHelp = {"--help", nullptr};
const Option kVersion = {"--version", nullptr};

QString optionText(const Option& o)
{
    return o.value ? QStringLiteral("%1 %2").arg(QLatin1String(o.name), QLatin1String(o.value))
                   : QString::fromLatin1(o.name);
}

QString usage()
{
    QStringList modes;
    for (const Mode& m : kModes) {
        QString text = optionText(m.flag);
        for (const Option& o : m.extras)
            text += QStringLiteral(" [%1]").arg(optionText(o));
        modes << text;
    }
    QString out = QStringLiteral("Usage: ordersentinel [--home DIR] [%1]\n\n")
                      .arg(modes.join(QStringLiteral(" | ")));
    auto line = [&out](const QString& option, const QString& help) {
        out += QStringLiteral("  %1 %2\n").arg(option.leftJustified(22), help);
    };
    line(optionText(kHome),
         QStringLiteral("the home, data in DIR/data (default: the program's directory if "
                        "it has data/, else ~/.local/share/ordersentinel)"));
    for (const Mode& m : kModes)
        line(optionText(m.flag), QString::fromUtf8(m.help));
    line(optionText(kVersion), QStringLiteral("print the program version"));
    line(optionText(kHelp), QStringLiteral("show this text"));
    out +=
        QStringLiteral("\nWithout a mode the program opens its windows. Exit codes of the modes: "
                       "0 done, 1 an error, 2 a wrong command line.\n");
    return out;
}

struct CommandLine
{
    Args args;
    const Mode* mode = nullptr;
    QString error; // why the command line cannot be used
};

const Option* findOption(const QString& name, const Mode** owner)
{
    *owner = nullptr;
    for (const Option* o : {&kHome, &kHelp, &kVersion}) {
        if (name == QLatin1String(o->name))
            return o;
    }
    for (const Mode& m : kModes) {
        *owner = &m;
        if (name == QLatin1String(m.flag.name))
            return &m.flag;
        for (const Option& o : m.extras) {
            if (name == QLatin1String(o.name))
                return &o;
        }
    }
    *owner = nullptr;
    return nullptr;
}

// Reads the command line before any application object exists, because the
// mode decides which one to create.
CommandLine parseArguments(int argc, char** argv)
{
    CommandLine c;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QList<const Mode*> extrasOf; // the modes whose extra options were given
    for (int i = 0; i < args.size() && c.error.isEmpty(); ++i) {
        QString name = args.at(i);
        QString value;
        bool inlineValue = false;
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            inlineValue = true;
        }
        if (name == QLatin1String("-h"))
            name = QString::fromLatin1(kHelp.name);
        const Mode* owner = nullptr;
        const Option* option = findOption(name, &owner);
        if (!option) {
            c.error = QStringLiteral("unknown argument: %1").arg(args.at(i));
            break;
        }
        if (option->value) {
            if (!inlineValue) {
                if (i + 1 < args.size())
                    value = args.at(++i);
            }
            if (value.isEmpty()) {
                c.error = QStringLiteral("%1 needs a value").arg(name);
                break;
            }
        } else if (inlineValue) {
            c.error = QStringLiteral("%1 takes no value").arg(name);
            break;
        }
        c.args.insert(name, value);
        if (!owner)
            continue;
        if (option == &owner->flag) {
            if (c.mode && c.mode != owner)
                c.error = QStringLiteral("%1 and %2 cannot be used together")
                              .arg(QLatin1String(c.mode->flag.name), name);
            c.mode = owner;
        } else {
            extrasOf << owner;
        }
    }
    for (const Mode* m : extrasOf) {
        if (!c.error.isEmpty())
            break;
        if (m != c.mode) {
            for (const Option& o : m->extras) {
                if (c.args.contains(QLatin1String(o.name)))
                    c.error = QStringLiteral("%1 needs %2")
                                  .arg(QLatin1String(o.name), QLatin1String(m->flag.name));
            }
        }
    }
    return c;
}

// The home named on the command line must exist (exit code 2 otherwise); its
// missing data and invoice directories are made (exit code 1 when they cannot be).
// Without one, the executable's own directory when it holds the data,
// else the user's own home of an installed program, made on first start
// (exit code 1 when it cannot be). 0 when the home is set.
int setHome(const Args& args)
{
    const QString home = args.value(QLatin1String(kHome.name));
    if (home.isEmpty()) {
        const QString programDir = QCoreApplication::applicationDirPath();
        const QString chosen = os::AppPaths::defaultHome(programDir);
        QString error;
        if (chosen != programDir && !os::AppPaths::prepareUserHome(chosen, &error)) {
            os::messages().error(error);
            return 1;
        }
        os::AppPaths::setHome(chosen);
        return 0;
    }
    if (!QFileInfo(home).isDir()) {
        std::fprintf(stderr, "ordersentinel: --home: no such directory: %s\n",
                     home.toLocal8Bit().constData());
        return 2;
    }
    // A new home gets its data and invoice directories, as the program's own
    // directory would from an installer.
    QString error;
    if (!os::AppPaths::prepareUserHome(QFileInfo(home).absoluteFilePath(), &error)) {
        os::messages().error(error);
        return 1;
    }
    os::AppPaths::setHome(home);
    return 0;
}

// A headless mode that draws (the sales report as PDF) needs the windows'
// library, off screen unless a platform is named.
bool drawsHeadless(const CommandLine& c)
{
    return os::isPdfName(c.args.value(QStringLiteral("--sales-report")));
}

int runHeadless(int argc, char** argv, const CommandLine& c)
{
    if (drawsHeadless(c) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        drawsHeadless(c) ? std::make_unique<QApplication>(argc, argv)
                         : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ordersentinel"));
    if (const int failed = setHome(c.args))
        return failed;
    try {
        os::ProgramLock lock(os::AppPaths::dataDir());
        if (c.mode->takesLock && !lock.acquireOrReport())
            return 1;
        return c.mode->run(c.args);
    } catch (const os::ProgramTermination& t) {
        return t.code();
    }
}

int runWindows(int argc, char** argv, const CommandLine& c)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ordersentinel"));
    // The desktop entry (ordersentinel.desktop) names the program's icon for
    // the task bar; the windows show the same one.
    QApplication::setDesktopFileName(QStringLiteral("ordersentinel"));
    QApplication::setWindowIcon(os::programIcon());
    os::installWindowServices();
    if (const int failed = setHome(c.args))
        return failed;

    os::ProgramLock lock(os::AppPaths::dataDir());
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
        form.openDatabaseCommand();
        form.showGettingStartedAtStart();
        // The windows kept for the whole run, made hidden now (a filter set
        // in the OutBox stays until it is removed, whenever it is shown).
        os::TOUTBOXFORM::instance(&form);
        os::TNewMailMessage::instance(&form);
        os::TTODO::instance(&form);
        return app.exec();
    } catch (const os::ProgramTermination& t) {
        return t.code();
    }
}

} // namespace

int main(int argc, char** argv)
{
    const CommandLine c = parseArguments(argc, argv);
    if (!c.error.isEmpty()) {
        std::fprintf(stderr, "ordersentinel: %s\n\n%s", c.error.toLocal8Bit().constData(),
                     usage().toLocal8Bit().constData());
        return 2;
    }
    if (c.args.contains(QLatin1String(kHelp.name))) {
        std::fputs(usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (c.args.contains(QLatin1String(kVersion.name))) {
        std::printf("ordersentinel %s\n", os::programVersion().toLatin1().constData());
        return 0;
    }
    if (c.mode)
        return runHeadless(argc, argv, c);
    return runWindows(argc, argv, c);
}
