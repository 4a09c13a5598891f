#include "cli/UploadProgressLine.h"

#include <QLocale>
#include <algorithm>
#include <unistd.h>

namespace airlark::cli {
namespace {

QString dataSize(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

void write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

UploadProgressLine::UploadProgressLine(std::FILE* stream)
    : stream_(stream), terminal_(::isatty(fileno(stream)))
{
}

QString UploadProgressLine::barText(qint64 sent, qint64 total, double bytesPerSecond)
{
    constexpr int Width = 30;
    const double fraction = total > 0 ? std::clamp(double(sent) / double(total), 0.0, 1.0) : 0.0;
    const int filled = static_cast<int>(fraction * Width);
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(Width - filled, QLatin1Char(' ')) +
                   QStringLiteral("] %1%  %2 of %3")
                       .arg(static_cast<int>(fraction * 100), 3)
                       .arg(dataSize(sent), dataSize(total));
    if (bytesPerSecond > 0) {
        const qint64 secondsLeft =
            static_cast<qint64>(double(std::max<qint64>(total - sent, 0)) / bytesPerSecond);
        text += QStringLiteral("  %1/s  %2:%3 left")
                    .arg(dataSize(static_cast<qint64>(bytesPerSecond)))
                    .arg(secondsLeft / 60)
                    .arg(secondsLeft % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

void UploadProgressLine::update(qint64 sent, qint64 total)
{
    if (total <= 0)
        return;
    // The speed counts from the first report, not from the connection and log-in before it.
    if (!clock_.isValid()) {
        clock_.start();
        sentAtStart_ = sent;
    }
    const qint64 now = clock_.elapsed();
    if (terminal_) {
        // Redrawing faster than the eye reads only costs the terminal.
        if (lastDrawnAt_ >= 0 && now - lastDrawnAt_ < 200 && sent < total)
            return;
        lastDrawnAt_ = now;
        const double speed = now >= 1000 ? double(sent - sentAtStart_) * 1000.0 / double(now) : 0.0;
        write(stream_, QStringLiteral("\r\x1b[K") + barText(sent, total, speed));
        drawn_ = true;
        return;
    }
    const int tenth = static_cast<int>(std::clamp(sent * 10 / total, qint64(0), qint64(10)));
    if (tenth == lastTenth_)
        return;
    lastTenth_ = tenth;
    write(stream_,
          QStringLiteral("Uploaded %1% (%2 of %3)\n").arg(tenth * 10).arg(dataSize(sent), dataSize(total)));
}

void UploadProgressLine::finish()
{
    if (drawn_)
        write(stream_, QStringLiteral("\n"));
    drawn_ = false;
}

} // namespace airlark::cli
