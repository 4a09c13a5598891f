#include "platform/ui/StopConfirmation.h"

#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace airlark {

QMessageBox* askToStop(QWidget* parent, const QString& question, const QString& detail,
                       const QString& stopButtonText, std::function<void()> stop)
{
    const QString name = QStringLiteral("stopConfirmation");
    if (auto* open = parent->findChild<QMessageBox*>(name, Qt::FindDirectChildrenOnly)) {
        open->raise();
        open->activateWindow();
        return open;
    }
    auto* box =
        new QMessageBox(QMessageBox::Question, QObject::tr("Stop?"), question, QMessageBox::NoButton, parent);
    box->setObjectName(name);
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    QPushButton* stopButton = box->addButton(stopButtonText, QMessageBox::DestructiveRole);
    stopButton->setObjectName(QStringLiteral("stopButton"));
    QPushButton* keep = box->addButton(QObject::tr("Continue"), QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("continueButton"));
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    QObject::connect(box, &QMessageBox::finished, box,
                     [box = QPointer<QMessageBox>(box), stopButton, stop = std::move(stop)] {
                         if (box && box->clickedButton() == stopButton && stop)
                             stop();
                     });
    box->open();
    return box;
}

} // namespace airlark
