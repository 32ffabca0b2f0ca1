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

} // namespace os
