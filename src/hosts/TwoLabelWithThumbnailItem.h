#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>

namespace airlark {

// One row of a two-label list with a thumbnail.
class TwoLabelWithThumbnailItem
{
public:
    virtual ~TwoLabelWithThumbnailItem() = default;

    virtual QString primary() const = 0;
    virtual QString secondary() const = 0;
    virtual QImage image() const = 0;
    // The identifier of the thing the row stands for.
    virtual qint64 id() const = 0;
};

} // namespace airlark
