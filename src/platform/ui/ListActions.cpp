#include "platform/ui/ListActions.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QToolButton>

namespace airlark {

QAction* addListAction(QAbstractItemView& list, const QString& text, const char* objectName,
                       const QKeySequence& key)
{
    auto* action = new QAction(text, &list);
    action->setObjectName(QString::fromLatin1(objectName));
    action->setShortcut(key);
    action->setShortcutContext(Qt::WidgetShortcut);
    list.addAction(action);
    list.setContextMenuPolicy(Qt::ActionsContextMenu);
    return action;
}

QToolButton* makeManageButton(QAbstractItemView& list, const QString& objectName,
                              const QString& accessibleName)
{
    auto* button = new QToolButton(list.parentWidget());
    button->setObjectName(objectName);
    button->setText(QCoreApplication::translate("ListActions", "&Manage"));
    button->setAccessibleName(accessibleName);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menu = new QMenu(button);
    menu->addActions(list.actions());
    button->setMenu(menu);
    return button;
}

} // namespace airlark
