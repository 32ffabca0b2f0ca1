#pragma once

#include <QString>
#include <QTemporaryDir>

namespace os::test {

// Certificates for TLS tests, made with the `openssl` command in a temporary
// directory that lives as long as the object:
// - a test authority (caCert) that a test tells the client to trust;
// - valid: for IP 127.0.0.1 (CN and subjectAltName), signed by the test authority;
// - expired: for 127.0.0.1, signed by the test authority, valid only in 2020;
// - wrongName: for "wrong.example" (CN and subjectAltName), signed by the test authority;
// - unknownCa: for 127.0.0.1, signed by a second authority nobody trusts.
// Keys are EC P-256 so that making them is quick. All files are PEM.
class TestCerts
{
public:
    struct Pair
    {
        QString cert;
        QString key;
    };

    TestCerts();

    // False when a step failed; error() then says which and why.
    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }

    QString dir() const { return m_dir.path(); }
    QString caCert() const { return m_caCert; }
    QString unknownCaCert() const { return m_unknownCaCert; } // the untrusted authority itself

    Pair valid() const { return m_valid; }
    Pair expired() const { return m_expired; }
    Pair wrongName() const { return m_wrongName; }
    Pair unknownCa() const { return m_unknownCa; }

private:
    bool run(const QStringList& args);
    bool makeAuthority(const QString& name, const QString& commonName);
    bool makeRequest(const QString& name, const QString& commonName, const QString& altName);
    bool sign(const QString& name, const QString& authority, int serial);
    bool signExpired(const QString& name, const QString& authority);
    QString file(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_error;
    QString m_caCert;
    QString m_unknownCaCert;
    Pair m_valid, m_expired, m_wrongName, m_unknownCa;
};

} // namespace os::test
