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
// A name edited in place goes to `renameRequested`; the row keeps its name until the store has
// taken the new one and the list is read again.
class TemplateListModel : public QAbstractListModel
{
public:
    using ArtworkLookup = std::function<std::optional<QImage>(qint64 id)>;

    explicit TemplateListModel(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    void reload(const std::vector<ID3TemplateSelectAllQueryResult>& templates, const ArtworkLookup& artwork);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    std::function<void(qint64 id, const QString& name)> renameRequested;

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
