#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

namespace airlark::cli {

// Upload progress on standard error: on a terminal one line redrawn in place (a bar, the bytes
// sent, the speed and the time left), elsewhere (a log, a pipe) a plain line every tenth of the
// file, so that logs stay short and readable.
class UploadProgressLine
{
public:
    explicit UploadProgressLine(std::FILE* stream);

    void update(qint64 sent, qint64 total);
    // Ends the redrawn line, so that the next message starts on a line of its own.
    void finish();

    // "[#####     ]  50%  1.2 MB of 2.4 MB  300 kB/s  0:04 left"; speed and time once known.
    static QString barText(qint64 sent, qint64 total, double bytesPerSecond);

private:
    std::FILE* stream_;
    bool terminal_;
    QElapsedTimer clock_;
    qint64 sentAtStart_ = 0;
    qint64 lastDrawnAt_ = -1;
    int lastTenth_ = -1;
    bool drawn_ = false;
};

} // namespace airlark::cli
