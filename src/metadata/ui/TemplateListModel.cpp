#include "metadata/ui/TemplateListModel.h"

#include "platform/ui/LiteralText.h"

#include <QPixmap>

namespace airlark {

void TemplateListModel::reload(const std::vector<ID3TemplateSelectAllQueryResult>& templates,
                               const ArtworkLookup& artwork)
{
    beginResetModel();
    rows_.clear();
    rows_.reserve(templates.size());
    for (const auto& item : templates) {
        const std::optional<QImage> image = artwork ? artwork(item.id) : std::nullopt;
        rows_.push_back(Row{item.id, item.name, image ? QIcon(QPixmap::fromImage(*image)) : QIcon()});
    }
    endResetModel();
}

int TemplateListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant TemplateListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount())
        return {};
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
    case Qt::AccessibleTextRole:
        return row.name;
    case Qt::ToolTipRole:
        return literalToolTip(row.name);
    case Qt::DecorationRole:
        return row.thumbnail;
    case Qt::SizeHintRole:
        return QSize(0, 40);
    case Qt::UserRole:
        return row.id;
    default:
        return {};
    }
}

Qt::ItemFlags TemplateListModel::flags(const QModelIndex& index) const
{
    return QAbstractListModel::flags(index) | (index.isValid() ? Qt::ItemIsEditable : Qt::NoItemFlags);
}

bool TemplateListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount())
        return false;
    const Row& row = rows_[static_cast<std::size_t>(index.row())];
    if (renameRequested && value.toString() != row.name)
        renameRequested(row.id, value.toString());
    return false;
}

} // namespace airlark
