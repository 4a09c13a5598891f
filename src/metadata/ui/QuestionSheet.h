#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace airlark {

// A yes-or-no question shown window-modal over a screen's window and answered later through a
// completion (no nested event loop). Tests install an answerer in place of the message box, so
// that no test waits on a modal window.
class QuestionSheet
{
public:
    struct Question
    {
        QString title;
        QString text;
        QString yesButton; // the action, e.g. "Save Without Artwork"
    };
    using Completion = std::function<void(bool yes)>;
    using Answerer = std::function<void(QWidget* parent, const Question& question, Completion completion)>;

    static void ask(QWidget* parent, const Question& question, Completion completion);

    // Replaces the message box (an empty answerer restores it).
    static void setAnswererForTesting(Answerer answerer);
};

} // namespace airlark
