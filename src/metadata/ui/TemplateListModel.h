#pragma once

#include "store/ID3Template.h"

#include <QAbstractListModel>
#include <QIcon>
#include <functional>
#include <optional>
#include <vector>

namespace airlark {

// The template list of step 1 as Qt's views want it: one row per template, its name and its
// artwork thumbnail. A snapshot, refreshed by reload() from the view model's reads of the store.
class TemplateListModel : public QAbstractListModel
{
public:
    using ArtworkLookup = std::function<std::optional<QImage>(qint64 id)>;

    explicit TemplateListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    void reload(const std::vector<ID3TemplateSelectAllQueryResult>& templates, const ArtworkLookup& artwork);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Row
    {
        qint64 id = 0;
        QString name;
        QIcon thumbnail;
    };
    std::vector<Row> rows_;
};

} // namespace airlark
