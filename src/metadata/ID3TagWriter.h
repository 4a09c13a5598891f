#pragma once

#include "metadata/ID3TagValues.h"
#include "metadata/TagLibMetadata.h"

#include <QString>
#include <QUrl>
#include <optional>
#include <stop_token>

namespace airlark {

// The ID3 values for one audio file, written into it in one pass through TagLibMetadata.
class ID3TagWriter
{
public:
    explicit ID3TagWriter(QUrl url) : URL(std::move(url)) {}
    virtual ~ID3TagWriter() = default;

    QUrl URL;
    ID3TagValues values; // its year is read through year()

    virtual std::optional<int> year() const { return values.year; }

    // Opens the file, hands the values over with the year of year() (none leaves the file's year
    // alone), and updates the file. True when the file was updated. When the file cannot
    // be opened, `error` receives the tag layer's error; when updating fails, it receives the reason too. A
    // stop request is honoured until the write becomes final. Any thread may write.
    bool write(TagLibMetadataError* error = nullptr, std::stop_token stop = {}) const;
};

} // namespace airlark
