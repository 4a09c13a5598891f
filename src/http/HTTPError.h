#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

namespace airlark {

struct HTTPResponse;

// Error domains of the HTTP client. Their texts are internal; compare with these constants.
inline constexpr const char* HTTPURLRequestSerializationErrorDomain =
    "org.airlark.http.request-serialization";
inline constexpr const char* HTTPURLResponseSerializationErrorDomain =
    "org.airlark.http.response-serialization";
// Transport failures of the session layer; the codes follow the well-known URL-loading codes below.
inline constexpr const char* HTTPURLErrorDomain = "org.airlark.http.url";
// Failures of a body stream while it is read (a file that vanished, shrank or cannot be read).
inline constexpr const char* HTTPInputStreamErrorDomain = "org.airlark.http.input-stream";
// A response body that is not well-formed JSON.
inline constexpr const char* HTTPJSONErrorDomain = "org.airlark.http.json";

namespace HTTPErrorCode {
// Request and response serialization.
inline constexpr int RequestSerializationFailed = -1000; // bad file URL for a file part, bad URL text
inline constexpr int BadServerResponse = -1011;          // status code outside the acceptable ones
inline constexpr int CannotDecodeContentData = -1016;    // unacceptable content type, undecodable text
// Transport (HTTPURLErrorDomain).
inline constexpr int Unknown = -1;
inline constexpr int Cancelled = -999;
inline constexpr int BadURL = -1000;
inline constexpr int TimedOut = -1001;
inline constexpr int UnsupportedURL = -1002;
inline constexpr int CannotFindHost = -1003;
inline constexpr int CannotConnectToHost = -1004;
inline constexpr int NetworkConnectionLost = -1005;
inline constexpr int HTTPTooManyRedirects = -1007;
inline constexpr int ResourceUnavailable = -1008;
inline constexpr int RedirectRefused = -1010; // a request with a body was answered by a redirect
inline constexpr int BadServerResponseTransport = -1011;
inline constexpr int RequestBodyStreamExhausted = -1021; // body stream failed or ended early
inline constexpr int InsecureRedirect = -1022;           // a redirect from https to another scheme
inline constexpr int DataLengthExceedsMaximum = -1103;   // an answer larger than the session keeps
inline constexpr int SecureConnectionFailed = -1200;
inline constexpr int ServerCertificateUntrusted = -1202;
// Input streams (HTTPInputStreamErrorDomain).
inline constexpr int StreamOpenFailed = 1;
inline constexpr int StreamReadFailed = 2;
inline constexpr int StreamLengthMismatch = 3; // the file changed size since the part was appended
} // namespace HTTPErrorCode

// A failure as a value: domain and code identify it, the texts explain it to people.
struct HTTPError
{
    QString domain;
    int code = 0;
    QString localizedDescription;
    QString localizedFailureReason;
    QUrl failingURL;
    std::shared_ptr<const HTTPResponse> response; // the response that failed validation, if any
    QByteArray data;                              // the body that came with it
    std::shared_ptr<const HTTPError> underlyingError;

    HTTPError() = default;
    HTTPError(QString errorDomain, int errorCode, QString description, QString failureReason = {});

    bool is(const char* errorDomain, int errorCode) const;
    // This error or one below it (following underlyingError) has the domain and code.
    bool hasInChain(const char* errorDomain, int errorCode) const;

    // One line for diagnostics: "Error Domain=<domain> Code=<code> "<description>"" plus what is set.
    QString description() const;
};

} // namespace airlark
