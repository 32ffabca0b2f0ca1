#pragma once

#include "base/settings.h"

#include <QString>

#include <functional>
#include <optional>

namespace os {

class SmtpClient;

// How the program reaches the merchant's mail server, for every sender (the
// outbox run, the bulk mailer): the client set up from the settings record,
// and the password of the login.
//
// The password is asked at the first send of a program run and kept in
// memory only. With "Remember password" (SMTPRememberPassword) it is kept in
// the desktop's keyring through QtKeychain, never in zr.ini; where no keyring
// is available the program says so (once per run) and asks each run.

// Asks the merchant for the password; the text names the user and server.
// Nothing when the merchant cancelled.
using PasswordPrompt = std::function<std::optional<QString>(const QString& text)>;

// The prompt in force: the window build installs a dialog, the headless mode
// none (it reads standard input first), tests a scripted one. Without one,
// no password can be had.
void setMailPasswordPrompt(PasswordPrompt prompt);

// Sets the client up from the settings: SMTPServer, SMTPPORT, SMTPhello (only
// when not empty), SMTPSecurity, SMTPUser and IGNORE_INVALID_CERT.
void configureSmtpClient(SmtpClient& client, const Settings& s = settings());

// Whether a login is configured (SMTPUser not empty).
bool mailLoginConfigured(const Settings& s = settings());

// The keyring entry of the login: "smtp:<user>@<server>".
QString mailPasswordKey(const Settings& s = settings());

enum class MailConnect
{
    Connected,
    NoPassword // a login is configured and no password was given
};

// Configures and connects the client as the settings say, with the login's
// password from memory, the keyring or the prompt. After a successful login
// a remembered password goes to the keyring; a password the server refuses
// is forgotten (memory and keyring). Throws SmtpError.
MailConnect connectMailServer(SmtpClient& client, const Settings& s = settings());

// The password for this run (the headless mode reads it from standard input).
void setMailPasswordForRun(const QString& password, const Settings& s = settings());
// Forgets the password of the settings' login in memory and, when it is
// remembered, in the keyring.
void forgetMailPassword(const Settings& s = settings());
// Forgets every password kept in memory and whether the merchant was told
// that there is no keyring (tests).
void resetMailPasswords();

// The keyring, through QtKeychain; waits in a local event loop.
enum class KeyringResult
{
    Found,
    NotFound,
    Unavailable // no keyring on this desktop (or it refused); `error` says why
};
KeyringResult readKeyringPassword(const QString& key, QString* password, QString* error = nullptr);
bool writeKeyringPassword(const QString& key, const QString& password, QString* error = nullptr);
void deleteKeyringPassword(const QString& key);

} // namespace os
