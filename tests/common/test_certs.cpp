#include "common/test_certs.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace os::test {

namespace {

// `openssl ca` wants a configuration with a database; this one copies the
// request's subjectAltName into the certificate and asks nothing else.
const char kCaConfig[] = R"([ ca ]
default_ca = test_ca
[ test_ca ]
database = index.txt
new_certs_dir = issued
serial = serial
default_md = sha256
policy = any_name
copy_extensions = copy
unique_subject = no
[ any_name ]
commonName = supplied
)";

} // namespace

TestCerts::TestCerts()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("cannot create a temporary directory");
        return;
    }
    const bool ok =
        makeAuthority("ca", "Ordersentinel Test CA") &&
        makeAuthority("other-ca", "Unknown Test CA") &&
        makeRequest("valid", "127.0.0.1", "IP:127.0.0.1") && sign("valid", "ca", 101) &&
        makeRequest("wrong-name", "wrong.example", "DNS:wrong.example") &&
        sign("wrong-name", "ca", 102) && makeRequest("unknown-ca", "127.0.0.1", "IP:127.0.0.1") &&
        sign("unknown-ca", "other-ca", 103) &&
        makeRequest("expired", "127.0.0.1", "IP:127.0.0.1") && signExpired("expired", "ca");
    if (!ok)
        return;
    m_caCert = file("ca.pem");
    m_unknownCaCert = file("other-ca.pem");
    m_valid = {file("valid.pem"), file("valid.key")};
    m_expired = {file("expired.pem"), file("expired.key")};
    m_wrongName = {file("wrong-name.pem"), file("wrong-name.key")};
    m_unknownCa = {file("unknown-ca.pem"), file("unknown-ca.key")};
}

bool TestCerts::run(const QStringList& args)
{
    QProcess p;
    p.setWorkingDirectory(m_dir.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1 failed: %2%3")
                      .arg(args.join(' '), p.errorString(), QString::fromLocal8Bit(p.readAll()));
        return false;
    }
    return true;
}

bool TestCerts::makeAuthority(const QString& name, const QString& commonName)
{
    return run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", name + ".key", "-out", name + ".pem", "-days", "3650", "-subj",
                "/CN=" + commonName, "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
                "keyUsage=critical,keyCertSign,cRLSign"});
}

bool TestCerts::makeRequest(const QString& name, const QString& commonName, const QString& altName)
{
    return run({"req", "-new", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", name + ".key", "-out", name + ".csr", "-subj",
                "/CN=" + commonName, "-addext", "subjectAltName=" + altName});
}

bool TestCerts::sign(const QString& name, const QString& authority, int serial)
{
    return run({"x509", "-req", "-in", name + ".csr", "-CA", authority + ".pem", "-CAkey",
                authority + ".key", "-set_serial", QString::number(serial), "-days", "825",
                "-copy_extensions", "copy", "-out", name + ".pem"});
}

// `openssl x509` cannot set a start date in the past; `openssl ca` can.
bool TestCerts::signExpired(const QString& name, const QString& authority)
{
    QFile config(file("ca.cnf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(kCaConfig) < 0) {
        m_error = QStringLiteral("cannot write ca.cnf");
        return false;
    }
    config.close();
    QFile index(file("index.txt"));
    QFile serialFile(file("serial"));
    if (!index.open(QIODevice::WriteOnly) || !serialFile.open(QIODevice::WriteOnly) ||
        serialFile.write("1000\n") < 0 || !m_dir.isValid()) {
        m_error = QStringLiteral("cannot prepare the authority's database");
        return false;
    }
    index.close();
    serialFile.close();
    QDir(m_dir.path()).mkpath("issued");
    return run({"ca", "-batch", "-config", "ca.cnf", "-cert", authority + ".pem", "-keyfile",
                authority + ".key", "-in", name + ".csr", "-out", name + ".pem", "-notext",
                "-startdate", "20200101000000Z", "-enddate", "20210101000000Z"});
}

} // namespace os::test
