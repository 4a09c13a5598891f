#include "metadata/PodcastID3TagWriter.h"

namespace airlark {
namespace {
QString nonNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}
} // namespace

PodcastID3TagWriter::PodcastID3TagWriter(QUrl url, Clock today)
    : ID3TagWriter(std::move(url)),
      today_(today ? std::move(today) : Clock([] { return QDate::currentDate(); }))
{
}

std::optional<int> PodcastID3TagWriter::year() const
{
    return today_().year();
}

void PodcastID3TagWriter::setArtist(const QString& text)
{
    values.artist = nonNull(text);
    values.albumArtist = nonNull(text);
}

void PodcastID3TagWriter::setPodcast(const QString& text)
{
    values.album = nonNull(text);
}

void PodcastID3TagWriter::setTitle(const QString& text)
{
    values.title = nonNull(text);
}

void PodcastID3TagWriter::setDescription(const QString& text)
{
    values.comment = nonNull(text);
}

void PodcastID3TagWriter::setArtwork(const std::optional<EmbeddedArtwork>& image)
{
    values.artwork = image;
}

void PodcastID3TagWriter::setArtwork(const QImage& image)
{
    values.artwork = EmbeddedArtwork::fromImage(image);
}

} // namespace airlark
