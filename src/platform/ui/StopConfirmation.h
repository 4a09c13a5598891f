#pragma once

#include <QString>
#include <functional>

class QMessageBox;
class QWidget;

namespace airlark {

// Asks, in a sheet over `parent`'s window, whether to stop work that is running (an upload, a tag
// save) before leaving it. Returns at once; `stop` runs if the user confirms. "Continue" is the
// default, so Return or Escape keep the work going. While a question is open for `parent`, asking
// again only brings it to the front. The sheet's object name is "stopConfirmation".
QMessageBox* askToStop(QWidget* parent, const QString& question, const QString& detail,
                       const QString& stopButtonText, std::function<void()> stop);

// Asks, in a sheet over `parent`'s window, before deleting what cannot be restored (a template, an
// account). "Keep" is the default, so Return or Escape delete nothing; `remove` runs only if the
// user presses the delete button. The sheet's object name is "deleteConfirmation", its buttons
// "deleteButton" and "keepButton".
QMessageBox* askToDelete(QWidget* parent, const QString& question, const QString& detail,
                         const QString& deleteButtonText, std::function<void()> remove);

// Asks, in a sheet over `parent`'s window, before writing over something that cannot be restored
// (an episode already published). "Keep" is the default; `replace` runs only if the user presses
// the replace button. The sheet's object name is "replaceConfirmation", its buttons
// "replaceButton" and "keepButton".
QMessageBox* askToReplace(QWidget* parent, const QString& question, const QString& detail,
                          const QString& replaceButtonText, std::function<void()> replace);

} // namespace airlark
