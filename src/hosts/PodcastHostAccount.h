#pragma once

#include "hosts/TwoLabelWithThumbnailItem.h"
#include "store/Account.h"

namespace airlark {

// A saved account as a row of the host selection list.
class PodcastHostAccount final : public TwoLabelWithThumbnailItem
{
public:
    // primary: the display name; secondary: the host text exactly as stored (empty for a
    // placeholder row); image: the host's icon, or the blank image for an unknown host.
    explicit PodcastHostAccount(const AccountQueryResult& account);
    PodcastHostAccount(QString primary, QString secondary, QImage image, qint64 id);

    QString primary() const override { return primary_; }
    QString secondary() const override { return secondary_; }
    QImage image() const override { return image_; }
    qint64 id() const override { return id_; }
    // The row as read (feed type and e-mail included); only the display name for the other
    // constructor.
    const AccountQueryResult& row() const { return row_; }

private:
    AccountQueryResult row_;
    QString primary_;
    QString secondary_;
    QImage image_;
    qint64 id_ = 0;
};

} // namespace airlark
