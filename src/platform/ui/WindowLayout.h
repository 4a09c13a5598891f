#pragma once

#include <QDialogButtonBox>
#include <QString>

class QFormLayout;
class QLabel;
class QWidget;

namespace airlark {

// The pieces every screen lays out alike: wrapped text, a form row with its help line under it,
// the button bar, and a window that stays tall enough for its wrapped text.

// A plain-text label that wraps. It never gets narrower than a short sentence, so that its lines
// break the same way in every window instead of collapsing into a column of single words.
QLabel* wrappingLabel(const QString& text, QWidget* parent);

// A wrapped line that says what is wrong (a problem) or what to look at (a warning), in its
// colour; hidden until it has something to say.
enum class Notice
{
    Warning,
    Problem
};
QLabel* noticeLabel(Notice kind, const QString& objectName, QWidget* parent);

// The smaller, quieter line that explains the field above it.
QLabel* helpLabel(const QString& text, QWidget* parent);

// A form row: `label` and `field`, then `help` (when given) under the field.
void addFormRow(QFormLayout& form, const QString& label, QWidget* field, const QString& help = {});

// Dialog buttons in the platform's order and with its icons. Buttons the box does not name
// (Add, Save) are added by the screen with their role.
QDialogButtonBox* buttonBar(QWidget* parent,
                            QDialogButtonBox::StandardButtons buttons = QDialogButtonBox::Cancel);

// Keeps `window` at least as tall as its contents need at its current width. Qt sizes a window
// from its contents' one-line heights; wrapped text needs more the narrower it is laid out, and
// more again when a longer message replaces a shorter one. The window grows when it must.
void keepContentsWhole(QWidget& window);

} // namespace airlark
