#pragma once

#include <QKeySequence>
#include <QString>

class QAbstractItemView;
class QAction;
class QToolButton;

namespace airlark {

// An action on the chosen row of `list`: in its context menu, and on `key` only while the list has
// the focus, so that Delete in a text field never deletes a row. Owned by the list.
QAction* addListAction(QAbstractItemView& list, const QString& text, const char* objectName,
                       const QKeySequence& key = {});

// A "Manage" button whose menu holds the list's actions, for those who do not right-click.
QToolButton* makeManageButton(QAbstractItemView& list, const QString& objectName,
                              const QString& accessibleName);

} // namespace airlark
