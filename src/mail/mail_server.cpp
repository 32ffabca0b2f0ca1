#include "mail/mail_server.h"

#include "base/messages.h"
#include "net/smtp_client.h"

#include <QEventLoop>
#include <QHash>

#include <qt6keychain/keychain.h>

namespace os {

namespace {

const QString kService = QStringLiteral("Ordersentinel");

const QString kNoKeyring =
    QStringLiteral("No keyring is available on this desktop, so the mail password cannot be "
                   "remembered. Ordersentinel will ask for it at each run.");

struct PasswordStore
{
    QHash<QString, QString> memory; // key -> password, for this run
    bool toldNoKeyring = false;
    PasswordPrompt prompt;
};

PasswordStore& store()
{
    static PasswordStore s;
    return s;
}

void tellNoKeyring()
{
    if (store().toldNoKeyring)
        return;
    store().toldNoKeyring = true;
    messages().info(kNoKeyring);
}

// Runs a keychain job to its end in a local event loop.
void runJob(QKeychain::Job& job)
{
    job.setAutoDelete(false);
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
}

SmtpSecurity securityOf(int value)
{
    switch (value) {
    case 1:
        return SmtpSecurity::StartTls;
    case 2:
        return SmtpSecurity::Tls;
    default:
        return SmtpSecurity::None;
    }
}

} // namespace

void setMailPasswordPrompt(PasswordPrompt prompt)
{
    store().prompt = std::move(prompt);
}

bool mailLoginConfigured(const Settings& s)
{
    return !s.SMTPUser.trimmed().isEmpty();
}

QString mailPasswordKey(const Settings& s)
{
    return QStringLiteral("smtp:%1@%2").arg(s.SMTPUser.trimmed(), s.SMTPServer.trimmed());
}

void configureSmtpClient(SmtpClient& client, const Settings& s)
{
    client.setHost(s.SMTPServer.trimmed());
    client.setPort(s.SMTPPORT);
    client.setHelloName(s.SMTPhello.trimmed().isEmpty() ? QString() : s.SMTPhello.trimmed());
    client.setSecurity(securityOf(s.SMTPSecurity));
    client.setUserName(s.SMTPUser.trimmed());
    client.setIgnoreInvalidCert(s.IGNORE_INVALID_CERT);
}

void setMailPasswordForRun(const QString& password, const Settings& s)
{
    store().memory.insert(mailPasswordKey(s), password);
}

void forgetMailPassword(const Settings& s)
{
    const QString key = mailPasswordKey(s);
    store().memory.remove(key);
    if (s.SMTPRememberPassword)
        deleteKeyringPassword(key);
}

void resetMailPasswords()
{
    store().memory.clear();
    store().toldNoKeyring = false;
}

MailConnect connectMailServer(SmtpClient& client, const Settings& s)
{
    configureSmtpClient(client, s);
    bool fresh = false; // not yet known to the keyring
    if (mailLoginConfigured(s)) {
        const QString key = mailPasswordKey(s);
        std::optional<QString> password;
        if (store().memory.contains(key))
            password = store().memory.value(key);
        if (!password && s.SMTPRememberPassword) {
            QString stored;
            switch (readKeyringPassword(key, &stored)) {
            case KeyringResult::Found:
                password = stored;
                break;
            case KeyringResult::NotFound:
                break;
            case KeyringResult::Unavailable:
                tellNoKeyring();
                break;
            }
        }
        if (!password) {
            if (!store().prompt)
                return MailConnect::NoPassword;
            password = store().prompt(QStringLiteral("Password of %1 on the mail server %2:")
                                          .arg(s.SMTPUser.trimmed(), s.SMTPServer.trimmed()));
            if (!password)
                return MailConnect::NoPassword;
            fresh = true;
        }
        store().memory.insert(key, *password);
        client.setPassword(*password);
    }
    try {
        client.connectToServer();
    } catch (const SmtpError& e) {
        if (e.loginRefused())
            forgetMailPassword(s);
        throw;
    }
    if (fresh && s.SMTPRememberPassword && !store().toldNoKeyring) {
        if (!writeKeyringPassword(mailPasswordKey(s), store().memory.value(mailPasswordKey(s))))
            tellNoKeyring();
    }
    return MailConnect::Connected;
}

KeyringResult readKeyringPassword(const QString& key, QString* password, QString* error)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(key);
    runJob(job);
    if (job.error() == QKeychain::NoError) {
        *password = job.textData();
        return KeyringResult::Found;
    }
    if (error)
        *error = job.errorString();
    return job.error() == QKeychain::EntryNotFound ? KeyringResult::NotFound
                                                   : KeyringResult::Unavailable;
}

bool writeKeyringPassword(const QString& key, const QString& password, QString* error)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(key);
    job.setTextData(password);
    runJob(job);
    if (job.error() != QKeychain::NoError && error)
        *error = job.errorString();
    return job.error() == QKeychain::NoError;
}

void deleteKeyringPassword(const QString& key)
{
    QKeychain::DeletePasswordJob job(kService);
    job.setKey(key);
    runJob(job);
}

} // namespace os
