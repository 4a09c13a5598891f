#include "hosts/ui/HostAuthenticationViewController.h"

#include "hosts/ui/AddPodcastHostViewController.h"

#include <QPushButton>

namespace airlark {

HostAuthenticationViewController::HostAuthenticationViewController(QWidget* parent) : QWidget(parent) {}

HostAuthenticationViewController::~HostAuthenticationViewController() = default;

std::optional<QString> HostAuthenticationViewController::saveCredentials()
{
    qFatal("Must be overridden");
}

void HostAuthenticationViewController::addButtonSelected() {}

AddPodcastHostViewController* HostAuthenticationViewController::parentController() const
{
    for (QObject* ancestor = parent(); ancestor; ancestor = ancestor->parent()) {
        if (auto* window = qobject_cast<AddPodcastHostViewController*>(ancestor))
            return window;
    }
    return nullptr;
}

void HostAuthenticationViewController::takeOverAddButton(bool enabled)
{
    auto* window = parentController();
    if (!window)
        return;
    window->setAddButtonTarget(this, [pane = QPointer<HostAuthenticationViewController>(this)] {
        if (pane)
            pane->addButtonSelected();
    });
    window->addButton()->setEnabled(enabled);
}

void HostAuthenticationViewController::setAddButtonEnabled(bool enabled)
{
    auto* window = parentController();
    if (window && window->addButtonTarget() == this)
        window->addButton()->setEnabled(enabled);
}

void HostAuthenticationViewController::closeWindow()
{
    if (auto* window = parentController())
        window->window()->close();
}

void HostAuthenticationViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!viewLoaded_) {
        viewLoaded_ = true;
        viewDidLoad();
    }
    viewDidAppear();
}

} // namespace airlark
