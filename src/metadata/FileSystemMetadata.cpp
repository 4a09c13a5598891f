#include "metadata/FileSystemMetadata.h"

#include <QFile>
#include <QFileInfo>
#include <taglib/mpegfile.h>
#include <taglib/mpegproperties.h>

namespace airlark {

FileSystemMetadata::FileSystemMetadata(const QUrl& url)
{
    if (!url.isLocalFile())
        return;
    const QFileInfo info(url.toLocalFile());
    if (!info.exists() || !info.isFile())
        return;
    fileName_ = info.fileName();
    fileSize_ = info.size();

    const QByteArray name = QFile::encodeName(info.absoluteFilePath());
    TagLib::MPEG::File file(name.constData(), true, TagLib::AudioProperties::Accurate);
    if (file.isValid() && file.audioProperties() && file.audioProperties()->sampleRate() > 0)
        durationMilliseconds_ = file.audioProperties()->lengthInMilliseconds();
}

QString formattedDuration(qint64 seconds)
{
    if (seconds < 0)
        return {};
    return QString::asprintf("%02u:%02u:%02u", static_cast<unsigned>(seconds / 3600),
                             static_cast<unsigned>((seconds / 60) % 60), static_cast<unsigned>(seconds % 60));
}

} // namespace airlark
