#pragma once

#include "base/main_services.h"
#include "common/scripted_messages.h"
#include "common/store_sim.h"
#include "common/temp_home.h"
#include "data/main_data_mod.h"
#include "sync/store_session.h"

#include <QStringList>
#include <QVariant>

#include <memory>

namespace os::test {

// One retrieval environment: a temporary program home with its company
// database open, the scripted message service, and a store session (no
// windows) pointed at a running store simulator.
class RetrievalFixture
{
public:
    explicit RetrievalFixture(StoreSim& sim);
    ~RetrievalFixture();

    void run(); // "Get Orders & Information"
    // Event-log rows as "type|message", without the rows that depend on the
    // transfer (Agent, Server) and the session's time stamps (Notice).
    QStringList log() const;
    QStringList shown() const { return messages.texts(); }

    // One value per row of a statement on the company tables.
    QVariantList column(const QString& sql) const;
    QVariant scalar(const QString& sql) const;
    void exec(const QString& sql) const;
    QByteArray readFile(const QString& relative) const; // under home

    TempHome home;
    ScriptedMessages messages;
    NullMainServices main;
    NullSessionHost host;
    std::unique_ptr<TMainDataMod> data;
    std::unique_ptr<StoreSession> session;
};

// An order record of the store (33 fields) with the given number, customer,
// date, total and payment code; other fields believable.
QString orderLine(int inv, int custid, const QString& date = QStringLiteral("2024-03-05 14:07:09"),
                  const QString& total = QStringLiteral("12.50"),
                  const QString& method = QStringLiteral("1"));
// An account record (21 fields).
QString accountLine(int custid, const QString& email, const QString& name,
                    const QString& subscribed);

} // namespace os::test
