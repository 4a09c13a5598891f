#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>
#include <vector>

namespace airlark {

// A blocking TCP connection for the FTP control conversation, with every wait bounded.
class FTPControlConnection
{
public:
    FTPControlConnection() = default;
    ~FTPControlConnection();
    FTPControlConnection(const FTPControlConnection&) = delete;
    FTPControlConnection& operator=(const FTPControlConnection&) = delete;

    // Resolves `host` and connects to the first address that answers within `timeout`.
    bool connectToHost(const QByteArray& host, qint32 port, std::chrono::milliseconds timeout);
    bool sendAll(const char* data, std::size_t length);
    // Everything the server sends until it closes the connection, or until `timeout` passes
    // (`complete` tells which).
    QByteArray readUntilClosed(std::chrono::milliseconds timeout, bool* complete);
    void close();

private:
    int fd_ = -1;
};

// The reply codes of a stretch of control-connection text, one per reply: "123 text" is a reply,
// "123-text" opens a multi-line reply that ends at the line starting with "123 ". Lines that are
// not replies are skipped.
std::vector<int> ftpReplyCodes(const QByteArray& text);

} // namespace airlark
