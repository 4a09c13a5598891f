#include "platform/ui/ArrowKeySelection.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QKeyEvent>

namespace airlark {

namespace {

class ArrowKeySelection : public QObject
{
public:
    explicit ArrowKeySelection(QAbstractItemView& view) : QObject(&view), view_(view) {}

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        QItemSelectionModel* selection = view_.selectionModel();
        if ((key != Qt::Key_Up && key != Qt::Key_Down) || !selection || selection->hasSelection() ||
            !view_.model() || view_.model()->rowCount(view_.rootIndex()) == 0)
            return false;
        QModelIndex row = view_.currentIndex();
        if (!row.isValid())
            row = view_.model()->index(0, 0, view_.rootIndex());
        view_.setCurrentIndex(row); // selects it, as a single-selection view does with the current row
        selection->select(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        return true;
    }

private:
    QAbstractItemView& view_;
};

} // namespace

void selectRowsWithArrowKeys(QAbstractItemView& view)
{
    view.installEventFilter(new ArrowKeySelection(view));
}

} // namespace airlark
