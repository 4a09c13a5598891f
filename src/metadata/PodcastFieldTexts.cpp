#include "metadata/PodcastFieldTexts.h"

#include <QCoreApplication>
#include <QUrl>

namespace airlark {

namespace {

// Shown to the podcaster, in their language.
class Text
{
    Q_DECLARE_TR_FUNCTIONS(PodcastFieldTexts)
};

} // namespace
namespace {

constexpr int LargestNumber = 9999;

// A whole number from 1 up; 0 for an empty text; -1 for anything else.
int numberIn(const QString& text)
{
    if (text.trimmed().isEmpty())
        return 0;
    bool ok = false;
    const int number = text.trimmed().toInt(&ok);
    return ok && number > 0 && number <= LargestNumber ? number : -1;
}

QString numberText(const std::optional<int>& number)
{
    return number ? QString::number(*number) : QString();
}

} // namespace

PodcastFieldTexts PodcastFieldTexts::from(const PodcastTagValues& values)
{
    return from(values, PodcastFieldTexts());
}

PodcastFieldTexts PodcastFieldTexts::from(const PodcastTagValues& file, const PodcastFieldTexts& fallback)
{
    PodcastFieldTexts texts;
    texts.genre = file.genre.value_or(fallback.genre);
    texts.episodeNumber = file.episodeNumber ? numberText(file.episodeNumber) : fallback.episodeNumber;
    texts.seasonNumber = file.seasonNumber ? numberText(file.seasonNumber) : fallback.seasonNumber;
    texts.longDescription = file.longDescription.value_or(fallback.longDescription);
    texts.feedURL = file.feedURL.value_or(fallback.feedURL);
    texts.explicitContent = file.explicitContent.value_or(fallback.explicitContent);
    return texts;
}

QStringList PodcastFieldTexts::problems() const
{
    QStringList problems;
    if (numberIn(episodeNumber) < 0)
        problems << Text::tr("The episode number must be a whole number from 1 to %1.").arg(LargestNumber);
    if (numberIn(seasonNumber) < 0)
        problems << Text::tr("The season number must be a whole number from 1 to %1.").arg(LargestNumber);
    const QUrl feed(feedURL.trimmed(), QUrl::StrictMode);
    if (!feedURL.trimmed().isEmpty() &&
        (!feed.isValid() || feed.host().isEmpty() ||
         (feed.scheme() != QLatin1String("https") && feed.scheme() != QLatin1String("http"))))
        problems << Text::tr("The feed URL must be a web address starting with https://.");
    return problems;
}

PodcastTagValues PodcastFieldTexts::tagValues() const
{
    PodcastTagValues values;
    values.genre = genre.trimmed();
    values.episodeNumber = qMax(0, numberIn(episodeNumber));
    values.seasonNumber = qMax(0, numberIn(seasonNumber));
    values.longDescription = longDescription;
    values.feedURL = feedURL.trimmed();
    values.explicitContent = explicitContent;
    return values;
}

PodcastTagValues PodcastFieldTexts::templateFields() const
{
    PodcastTagValues fields;
    fields.genre = genre.trimmed().isEmpty() ? std::nullopt : std::optional<QString>(genre.trimmed());
    const int season = numberIn(seasonNumber);
    fields.seasonNumber = season > 0 ? std::optional<int>(season) : std::nullopt;
    fields.feedURL = feedURL.trimmed().isEmpty() ? std::nullopt : std::optional<QString>(feedURL.trimmed());
    fields.explicitContent = explicitContent;
    return fields;
}

} // namespace airlark
