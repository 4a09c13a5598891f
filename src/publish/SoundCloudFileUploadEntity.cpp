#include "publish/SoundCloudFileUploadEntity.h"

namespace airlark {

SoundCloudFileUploadEntity::SoundCloudFileUploadEntity(QString title_, QUrl fileURL_,
                                                       std::optional<QUrl> artworkURL_, QStringList tags_,
                                                       std::optional<QString> description_)
    : title(std::move(title_)), fileURL(std::move(fileURL_)), artworkURL(std::move(artworkURL_)),
      tags(std::move(tags_)), trackType(QStringLiteral("podcast")), description(std::move(description_))
{
}

QVariantMap SoundCloudFileUploadEntity::formFields() const
{
    QVariantMap fields{
        {QStringLiteral("track[title]"), title},
        {QStringLiteral("track[track_type]"), trackType},
        {QStringLiteral("track[tag_list]"), tags.join(QLatin1Char(' '))},
    };
    if (description)
        fields.insert(QStringLiteral("track[description]"), *description);
    return fields;
}

} // namespace airlark
