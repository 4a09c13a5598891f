// What a failed curl result means for the user, by the conversation it ended, in process.
#include "ftp/FTPCurlHandle.h"
#include "platform/LibCurl.h"

#include <gtest/gtest.h>

namespace airlark {
namespace {

using K = FTPFailureKind;

struct CurlEnd
{
    CURLcode result;
    const char* command;
    int replyCode;
    K kind;
    const char* reason = "";
    bool sawServiceClosing = false;
};

TEST(FTPFailureKindTest, FollowsTheCommandAndTheServersLastWord)
{
    // clang-format off
    const CurlEnd rows[] = {
        {CURLE_OK, "STOR", 226, K::None},
        {CURLE_COULDNT_RESOLVE_HOST, "", 0, K::CannotConnect},
        {CURLE_OPERATION_TIMEDOUT, "PASV", 0, K::TimedOut},
        {CURLE_LOGIN_DENIED, "PASS", 530, K::LogInRefused},
        {CURLE_LOGIN_DENIED, "PASS", 421, K::ServerClosedSession, "", true},
        {CURLE_REMOTE_ACCESS_DENIED, "CWD", 550, K::FolderMissing},
        {CURLE_REMOTE_ACCESS_DENIED, "MKD", 550, K::RefusedCommand},
        {CURLE_SSL_CONNECT_ERROR, "", 0, K::TLSNotOffered, "error:0A00010B:SSL routines::wrong version number"},
        {CURLE_SSL_CONNECT_ERROR, "", 0, K::TLSHandshakeFailed, "handshake failure"},
        {CURLE_PEER_FAILED_VERIFICATION, "AUTH", 234, K::CertificateRejected},
        {CURLE_USE_SSL_FAILED, "AUTH", 500, K::TLSNotOffered},
        {CURLE_PARTIAL_FILE, "STOR", 552, K::RefusedFileAfterData},
        {CURLE_PARTIAL_FILE, "RETR", 451, K::RefusedCommand},
        {CURLE_PARTIAL_FILE, "STOR", 150, K::ConnectionLost},
        {CURLE_REMOTE_DISK_FULL, "STOR", 552, K::RefusedFileAfterData},
        {CURLE_UPLOAD_FAILED, "STOR", 553, K::RefusedFile},
        {CURLE_QUOTE_ERROR, "STOR", 553, K::RefusedFile},
        {CURLE_QUOTE_ERROR, "DELE", 550, K::RefusedCommand},
        {CURLE_RECV_ERROR, "STOR", 150, K::ConnectionLost},
        {CURLE_FTP_WEIRD_PASV_REPLY, "PASV", 227, K::ConnectionLost},
        {CURLE_OUT_OF_MEMORY, "", 0, K::Other},
    };
    // clang-format on
    for (const CurlEnd& row : rows) {
        const K kind = ftpFailureKind(
            row.result, {row.command, row.replyCode, row.sawServiceClosing, QString::fromLatin1(row.reason)});
        EXPECT_EQ(kind, row.kind) << LibCurl::get().easyStrerror(row.result) << " after " << row.command
                                  << " " << row.replyCode << ": " << ftpFailureKindName(kind);
    }
}

} // namespace
} // namespace airlark
