#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>
#include <optional>

namespace airlark {

// What a file drop target accepts, apart from its widget: a drag is judged by its first file
// alone, which must be a local file whose extension, lower-cased, is one of `fileTypes`.
class FileDropRule
{
public:
    // MP3 files: the audio target of the template and file step.
    static FileDropRule audio();
    // The image target declares JPEG and PNG files but accepts no drag at all: no screen does
    // anything with a dropped image.
    static FileDropRule image();

    FileDropRule(QStringList fileTypes, bool acceptsDrops)
        : fileTypes_(std::move(fileTypes)), acceptsDrops_(acceptsDrops)
    {
    }

    // Allowed extensions, lower case (getFileTypes).
    const QStringList& fileTypes() const { return fileTypes_; }
    // The drag data a target registers for (getPboardTypes), as MIME types.
    QStringList mimeTypes() const;

    // The file to drop: the first URL when the drag is acceptable, else nothing.
    std::optional<QUrl> acceptedFile(const QList<QUrl>& urls) const;
    bool canAccept(const QList<QUrl>& urls) const { return acceptedFile(urls).has_value(); }

private:
    QStringList fileTypes_;
    bool acceptsDrops_ = true;
};

} // namespace airlark
