#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <optional>

namespace airlark {

// One track to upload to SoundCloud: the episode file, its artwork and the texts SoundCloud shows.
struct SoundCloudFileUploadEntity
{
    SoundCloudFileUploadEntity(QString title, QUrl fileURL, std::optional<QUrl> artworkURL, QStringList tags,
                               std::optional<QString> description);

    QString title;
    QUrl fileURL;
    std::optional<QUrl> artworkURL;
    QStringList tags;
    QString trackType; // always "podcast"
    std::optional<QString> description;

    // The form's text fields: "track[title]", "track[track_type]", "track[tag_list]" (the tags
    // joined with single blanks, "" for none) and, only when there is a description,
    // "track[description]".
    QVariantMap formFields() const;
};

} // namespace airlark
