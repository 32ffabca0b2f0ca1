#pragma once

#include <QString>

namespace os {

// Error numbers of failed transfers. Where a failure has a well-known number
// in the Windows Internet error range (12000 and up), that number is used, so
// that a merchant's support notes still apply; any other libcurl failure is
// reported with libcurl's own code (always below 100) and its description.
constexpr int kHttpToHttpsRedirect = 12039;
constexpr int kHttpsToHttpRedirect = 12040;

// The text of a failed transfer for libcurl's result `curlCode` (not
// CURLE_OK): "Interrupted." for a time-out, otherwise "[%d] %s", or
// "[%d] (no description available)". `verifyResult` is OpenSSL's
// certificate verification result when the peer was refused;
// `refusedRedirect` is kHttpToHttpsRedirect/kHttpsToHttpRedirect when a
// redirect to the other scheme came, 0 otherwise.
QString transferErrorText(int curlCode, long verifyResult, int refusedRedirect);

// "[%d] %s", or "[%d] (no description available)" for an empty description.
QString numberedErrorText(int number, const QString& description);

// True for the system errors of a write that found no room: a full disk, a
// used-up quota, or a file-size limit reached (EFBIG).
bool isDiskFullError(int error);

// "The disk is full: the <what> could not be written to "<path>"." for a
// write that found no room (`what`: "reply", "invoice").
QString diskFullText(const QString& what, const QString& path);

// Writes all `size` bytes to the file descriptor, retrying after a signal and
// a short write. 0 when done, else the system's error number.
int writeAllTo(int fd, const char* data, qint64 size);

} // namespace os
