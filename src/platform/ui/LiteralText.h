#pragma once

#include <QString>

class QMessageBox;

namespace airlark {

// Message boxes and tool tips take text that merely looks like markup ("<b>", "<img src=…>") as
// markup. Ours carry file names, account names, addresses and servers' replies, which are shown as
// they are written.

// Shows the box's text and informative text literally, whatever they hold.
void showTextLiterally(QMessageBox& box);

// A tool tip that shows `text` literally, line breaks kept.
QString literalToolTip(const QString& text);

} // namespace airlark
