#include "net/transfer_errors.h"

#include <QDir>

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#include <unistd.h>

#include <cerrno>

namespace os {

namespace {

struct Numbered
{
    int number;
    const char* description;
};

Numbered certificateError(long verifyResult)
{
    switch (verifyResult) {
    case X509_V_OK: // the chain was good: libcurl refused the host name
        return {12038, "The certificate's name does not match the server's name."};
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return {12037, "The certificate has expired or is not yet valid."};
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
        return {12045, "Invalid Certification Authority."};
    default:
        return {12169, "The certificate is invalid."};
    }
}

} // namespace

QString numberedErrorText(int number, const QString& description)
{
    return QStringLiteral("[%1] %2").arg(number).arg(
        description.isEmpty() ? QStringLiteral("(no description available)") : description);
}

QString transferErrorText(int curlCode, long verifyResult, int refusedRedirect)
{
    Numbered known{0, nullptr};
    switch (curlCode) {
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_ABORTED_BY_CALLBACK:
        return QStringLiteral("Interrupted.");
    case CURLE_UNSUPPORTED_PROTOCOL:
        if (refusedRedirect == kHttpsToHttpRedirect)
            known = {kHttpsToHttpRedirect,
                     "The redirection from a secure to a non-secure site was refused."};
        else if (refusedRedirect == kHttpToHttpsRedirect)
            known = {kHttpToHttpsRedirect,
                     "The redirection from a non-secure to a secure site was refused."};
        else
            known = {12006, "The URL scheme could not be recognized or is not supported."};
        break;
    case CURLE_URL_MALFORMAT:
        known = {12005, "The URL is invalid."};
        break;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        known = {12007, "The server name could not be resolved."};
        break;
    case CURLE_COULDNT_CONNECT:
        known = {12029, "A connection with the server could not be established."};
        break;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
        known = {12030, "The connection with the server was terminated abnormally."};
        break;
    case CURLE_SEND_ERROR:
        known = {12031, "The connection with the server was reset."};
        break;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        known = {12152, "The server returned an invalid or unrecognized response."};
        break;
    case CURLE_TOO_MANY_REDIRECTS:
        known = {12156, "The redirection failed."};
        break;
    case CURLE_SSL_CONNECT_ERROR:
        known = {12157, "An error occurred in the secure channel support."};
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
        known = certificateError(verifyResult);
        break;
    default:
        break;
    }
    if (known.number)
        return numberedErrorText(known.number, QString::fromLatin1(known.description));
    const char* text = curl_easy_strerror(static_cast<CURLcode>(curlCode));
    QString description = text ? QString::fromLatin1(text) : QString();
    if (description.startsWith(QLatin1String("Unknown error")))
        description.clear();
    else if (!description.isEmpty() && !description.endsWith('.'))
        description += '.';
    return numberedErrorText(curlCode, description);
}

bool isDiskFullError(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

QString diskFullText(const QString& what, const QString& path)
{
    return QStringLiteral("The disk is full: the %1 could not be written to \"%2\".")
        .arg(what, QDir::toNativeSeparators(path));
}

int writeAllTo(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (n == 0)
            return ENOSPC; // no progress and no error: no room left
        data += n;
        size -= n;
    }
    return 0;
}

} // namespace os
