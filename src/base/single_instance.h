#pragma once

#include <QString>

namespace os {

// Keeps a single copy of the program running per user: an exclusive lock on
// the file "ZR" in the user's runtime directory (or in $ORDERSENTINEL_LOCK_DIR).
// The lock is flock()ed, so the system drops it when the process ends in any
// way, a kill included; the descriptor is close-on-exec, so programs started
// by us never inherit it. The lock does not depend on the program's home: a
// second program is refused whatever home it is given.
class SingleInstance
{
public:
    // Shown by the caller when tryAcquire() fails.
    static const QString AlreadyRunningMessage;

    SingleInstance();
    ~SingleInstance(); // releases the lock
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this object now holds the lock (also when it already did).
    // False when another process (or another SingleInstance) holds it, or when
    // the lock file cannot be opened; errorString() then says why (empty when
    // the lock is simply held elsewhere).
    bool tryAcquire();
    bool isHeld() const { return m_fd >= 0; }
    void release();
    QString errorString() const { return m_error; }

    // tryAcquire(), and when it fails shows why: exactly the already-running
    // message when another program holds the lock, the system's text when the
    // lock file itself cannot be opened.
    bool acquireOrReport();

    // The lock file's path: <dir>/ZR.
    static QString lockFilePath();

private:
    int m_fd = -1;
    QString m_error;
};

// Keeps a single program working on one home, whatever lock directory the
// per-user lock uses (a cron job without XDG_RUNTIME_DIR uses another one
// than the desktop): an exclusive flock() on "ordersentinel.lock" in the
// company data directory, close-on-exec, dropped by the system when the
// process ends. Every mode that writes to a home takes it with the per-user
// lock; modes that only read (--backup) take neither.
class HomeLock
{
public:
    static constexpr const char* FileName = "ordersentinel.lock";

    explicit HomeLock(const QString& dataDir);
    ~HomeLock(); // releases the lock
    HomeLock(const HomeLock&) = delete;
    HomeLock& operator=(const HomeLock&) = delete;

    // True when this object now holds the lock, and also when the data
    // directory does not exist (there is nothing there to guard; nothing in
    // the program creates it). False when another process holds it or the
    // lock file cannot be opened (errorString() says why; empty when held).
    bool tryAcquire();
    bool isHeld() const { return m_fd >= 0; }
    void release();
    QString errorString() const { return m_error; }

    // tryAcquire(), showing SingleInstance::AlreadyRunningMessage when another
    // program works on this home, the system's text when the file cannot be opened.
    bool acquireOrReport();

    static QString lockFilePath(const QString& dataDir);

private:
    QString m_dataDir;
    int m_fd = -1;
    QString m_error;
};

// The two locks a program that writes to its home holds: the per-user lock,
// then the lock of the home.
class ProgramLock
{
public:
    explicit ProgramLock(const QString& dataDir) : m_home(dataDir) {}
    // Both, or neither (the refusal shown as acquireOrReport shows it).
    bool acquireOrReport() { return m_user.acquireOrReport() && m_home.acquireOrReport(); }

private:
    SingleInstance m_user;
    HomeLock m_home;
};

} // namespace os
