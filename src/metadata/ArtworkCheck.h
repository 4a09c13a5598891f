#pragma once

#include "metadata/EmbeddedArtwork.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <optional>
#include <stop_token>

namespace airlark {

// An artwork file read, decoded and measured against what the major podcast directories ask of
// a podcast's cover: a square JPEG or PNG in RGB colour without transparency, 1400×1400 to 3000×3000 pixels.
// A file that breaks one of these rules is still artwork (a listener's app shows it), so it is accepted with
// a warning that names the rule; only a file that is not an image at all is refused.
struct ArtworkCheck
{
    static constexpr int MinimumSide = 1400;
    static constexpr int MaximumSide = 3000;

    enum class Verdict
    {
        Fine,    // meets every rule
        Warned,  // an image that breaks a rule: `message` names it
        Refused, // not an image Airlark can read: `message` says so
        Missing, // no file there (moved or deleted)
    };

    Verdict verdict = Verdict::Refused;
    // Why it was refused or what rule it breaks, with the image's own size and type:
    // "1200×1200 PNG: directories ask for at least 1400×1400".
    QString message;
    // The image's size and type, "1400×1400 JPEG" ("… JPEG in CMYK" when not RGB).
    QString description;
    QSize size;
    QString type;                           // "JPEG", "PNG", "BMP"...
    QString extension;                      // the usual file extension of that type: "jpg", "png", "bmp"...
    QImage preview;                         // scaled to fit the side asked for
    QByteArray fileBytes;                   // the file as read
    std::optional<EmbeddedArtwork> artwork; // as it goes into the tag

    bool isAccepted() const { return verdict == Verdict::Fine || verdict == Verdict::Warned; }
};

// Reads and checks the image file at `path`, with a preview that fits `previewSide` pixels. Blocks
// while it reads and decodes: run it on a worker thread. A stop request ends it early (refused).
ArtworkCheck checkArtwork(const QString& path, int previewSide, std::stop_token stop = {});
// The same check of an image already read (a picture in a tag); `path` names it in messages.
ArtworkCheck checkArtworkBytes(QByteArray bytes, const QString& path, int previewSide,
                               std::stop_token stop = {});

} // namespace airlark
