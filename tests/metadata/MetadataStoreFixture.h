#pragma once

// A fresh, real store for each test of the metadata screens and view models.

#include "store/ID3Template.h"
#include "support/StoreFixture.h"

#include <QString>
#include <QTemporaryDir>
#include <optional>

namespace airlark::test {

class MetadataStoreFixture : public StoreTest
{
protected:
    // A data folder of the test's own, with the tables.
    void SetUp() override;

    // Inserts a template (name, album and artist as given; the rest empty unless set here).
    qint64 insertTemplate(const QString& name, std::optional<QString> artworkPath = std::nullopt,
                          std::optional<QString> title = std::nullopt,
                          std::optional<QString> comment = std::nullopt,
                          std::optional<QString> lastEpisodeTitle = std::nullopt);

    // An image file in the fixture's folder.
    QString imageFile(const QString& name, int width = 16, int height = 16);
    QString mp3File(const QString& name, int seconds = 1);

    std::optional<Database> database;
    QTemporaryDir files;
};

} // namespace airlark::test
