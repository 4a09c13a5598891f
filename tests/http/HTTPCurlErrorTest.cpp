// Which of the codes callers know a failed curl transfer becomes, in process.
#include "http/HTTPSessionCore.h"
#include "platform/LibCurl.h"

#include <gtest/gtest.h>

namespace airlark {
namespace {

TEST(HTTPCurlErrorTest, EachCurlResultBecomesTheCodeCallersKnow)
{
    namespace C = HTTPErrorCode;
    // clang-format off
    const std::pair<CURLcode, int> rows[] = {
        {CURLE_COULDNT_RESOLVE_HOST, C::CannotFindHost}, {CURLE_COULDNT_RESOLVE_PROXY, C::CannotFindHost},
        {CURLE_COULDNT_CONNECT, C::CannotConnectToHost}, {CURLE_OPERATION_TIMEDOUT, C::TimedOut},
        {CURLE_SEND_ERROR, C::NetworkConnectionLost}, {CURLE_RECV_ERROR, C::NetworkConnectionLost},
        {CURLE_GOT_NOTHING, C::NetworkConnectionLost}, {CURLE_PARTIAL_FILE, C::NetworkConnectionLost},
        {CURLE_HTTP2_STREAM, C::NetworkConnectionLost}, {CURLE_TOO_MANY_REDIRECTS, C::HTTPTooManyRedirects},
        {CURLE_SSL_CONNECT_ERROR, C::SecureConnectionFailed},
        {CURLE_PEER_FAILED_VERIFICATION, C::ServerCertificateUntrusted},
        {CURLE_SSL_CACERT_BADFILE, C::ServerCertificateUntrusted},
        {CURLE_UNSUPPORTED_PROTOCOL, C::UnsupportedURL}, {CURLE_URL_MALFORMAT, C::BadURL},
        {CURLE_WEIRD_SERVER_REPLY, C::BadServerResponseTransport}, {CURLE_OUT_OF_MEMORY, C::Unknown},
    };
    // clang-format on
    const QUrl url(QStringLiteral("https://api.example/tracks"));
    for (const auto& [result, code] : rows) {
        const HTTPError error = HTTPTransfer::errorForCurlCode(result, QStringLiteral("curl says"), url);
        EXPECT_TRUE(error.is(HTTPURLErrorDomain, code))
            << LibCurl::get().easyStrerror(result) << ": " << error.code;
        EXPECT_FALSE(error.localizedDescription.isEmpty()) << LibCurl::get().easyStrerror(result);
        EXPECT_EQ(error.localizedFailureReason, QStringLiteral("curl says")) << "curl's own words are kept";
        EXPECT_EQ(error.failingURL, url);
    }
}

} // namespace
} // namespace airlark
