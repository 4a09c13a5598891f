#include "hosts/PodcastHostAccount.h"

#include "hosts/PodcastHostAppearance.h"

namespace airlark {

PodcastHostAccount::PodcastHostAccount(const AccountQueryResult& account)
    : PodcastHostAccount(account.displayName, account.host, iconForHostText(account.host), account.id)
{
    row_ = account;
}

PodcastHostAccount::PodcastHostAccount(QString primary, QString secondary, QImage image, qint64 id)
    : row_(id, primary, secondary), primary_(std::move(primary)), secondary_(std::move(secondary)),
      image_(std::move(image)), id_(id)
{
}

} // namespace airlark
