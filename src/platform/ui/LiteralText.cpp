#include "platform/ui/LiteralText.h"

#include <QLabel>
#include <QMessageBox>
#include <QTextDocument>

namespace airlark {

void showTextLiterally(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
    // The informative text has a label of its own, which the box's text format does not reach.
    if (auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
}

QString literalToolTip(const QString& text)
{
    // Escaped and marked as rich text, so that the tool tip neither renders nor guesses.
    return text.isEmpty() ? text : Qt::convertFromPlainText(text, Qt::WhiteSpacePre);
}

} // namespace airlark
