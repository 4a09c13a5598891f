#pragma once

class QAbstractItemView;

namespace airlark {

// Makes the arrow keys choose a row of a single-selection list even before anything is chosen.
// Qt gives a list that takes the focus a current row without selecting it, so the first Down
// would skip that row, and in a list of one row the arrows would choose nothing at all: here an
// arrow that finds no selection selects the current row (or the first one) instead of moving.
void selectRowsWithArrowKeys(QAbstractItemView& view);

} // namespace airlark
