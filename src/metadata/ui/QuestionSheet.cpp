#include "metadata/ui/QuestionSheet.h"

#include "platform/ui/LiteralText.h"

#include <QMessageBox>
#include <QPushButton>
#include <memory>

namespace airlark {
namespace {

QuestionSheet::Answerer& testAnswerer()
{
    static QuestionSheet::Answerer answerer;
    return answerer;
}

} // namespace

void QuestionSheet::ask(QWidget* parent, const Question& question, Completion completion)
{
    if (const Answerer& answerer = testAnswerer()) {
        answerer(parent, question, std::move(completion));
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Question, question.title, question.text, QMessageBox::NoButton,
                                parent ? parent->window() : nullptr);
    box->setAttribute(Qt::WA_DeleteOnClose);
    showTextLiterally(*box);
    QPushButton* yes = box->addButton(question.yesButton, QMessageBox::AcceptRole);
    box->setDefaultButton(box->addButton(QMessageBox::Cancel));
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    // The completion runs once, whichever way the box ends.
    auto shared = std::make_shared<Completion>(std::move(completion));
    QObject::connect(box, &QMessageBox::finished, box, [box, yes, shared](int) {
        if (const Completion done = std::exchange(*shared, Completion()))
            done(box->clickedButton() == yes);
    });
    box->open();
}

void QuestionSheet::setAnswererForTesting(Answerer answerer)
{
    testAnswerer() = std::move(answerer);
}

} // namespace airlark
