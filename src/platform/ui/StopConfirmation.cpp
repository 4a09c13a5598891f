#include "platform/ui/StopConfirmation.h"

#include "platform/ui/LiteralText.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace airlark {

namespace {

struct Sheet
{
    QString name;
    QString title;
    QString actionButtonName;
    QString keepButtonName;
    QString keepButtonText;
};

QMessageBox* ask(QWidget* parent, const Sheet& sheet, const QString& question, const QString& detail,
                 const QString& actionText, std::function<void()> action)
{
    const QString& name = sheet.name;
    // An answered question lingers, hidden, until its deletion runs: only one on screen is reused.
    for (QMessageBox* open : parent->findChildren<QMessageBox*>(name, Qt::FindDirectChildrenOnly)) {
        if (open->isVisible()) {
            open->raise();
            open->activateWindow();
            return open;
        }
    }
    auto* box = new QMessageBox(QMessageBox::Question, sheet.title, question, QMessageBox::NoButton, parent);
    box->setObjectName(name);
    box->setInformativeText(detail);
    showTextLiterally(*box);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton* actionButton = box->addButton(actionText, QMessageBox::DestructiveRole);
    actionButton->setObjectName(sheet.actionButtonName);
    QPushButton* keep = box->addButton(sheet.keepButtonText, QMessageBox::RejectRole);
    keep->setObjectName(sheet.keepButtonName);
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box = QPointer<QMessageBox>(box), actionButton, action = std::move(action)] {
                         if (box && box->clickedButton() == actionButton && action)
                             action();
                     });
    box->open();
    return box;
}

} // namespace

QMessageBox* askToStop(QWidget* parent, const QString& question, const QString& detail,
                       const QString& stopButtonText, std::function<void()> stop)
{
    const Sheet sheet{QStringLiteral("stopConfirmation"), QObject::tr("Stop?"), QStringLiteral("stopButton"),
                      QStringLiteral("continueButton"), QObject::tr("Continue")};
    return ask(parent, sheet, question, detail, stopButtonText, std::move(stop));
}

QMessageBox* askToDelete(QWidget* parent, const QString& question, const QString& detail,
                         const QString& deleteButtonText, std::function<void()> remove)
{
    const Sheet sheet{QStringLiteral("deleteConfirmation"), QObject::tr("Delete?"),
                      QStringLiteral("deleteButton"), QStringLiteral("keepButton"), QObject::tr("Keep")};
    return ask(parent->window(), sheet, question, detail, deleteButtonText, std::move(remove));
}

QMessageBox* askToReplace(QWidget* parent, const QString& question, const QString& detail,
                          const QString& replaceButtonText, std::function<void()> replace)
{
    const Sheet sheet{QStringLiteral("replaceConfirmation"), QObject::tr("Replace?"),
                      QStringLiteral("replaceButton"), QStringLiteral("keepButton"), QObject::tr("Keep")};
    return ask(parent->window(), sheet, question, detail, replaceButtonText, std::move(replace));
}

} // namespace airlark
