#include "hosts/ui/AddPodcastHostViewController.h"

#include "hosts/PodcastHostAppearance.h"
#include "platform/ui/WindowLayout.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <utility>

namespace airlark {

namespace {

QPointer<AddPodcastHostViewController>& presentedWindow()
{
    static QPointer<AddPodcastHostViewController> window;
    return window;
}

} // namespace

AddPodcastHostViewController::AddPodcastHostViewController(PaneProvider libsynPane,
                                                           PaneProvider soundCloudPane, QWidget* parent)
    : QWidget(parent),
      viewModel_(std::make_unique<AddPodcastHostViewModel>(std::move(libsynPane), std::move(soundCloudPane)))
{
    setWindowTitle(tr("Add Account"));

    auto* hostLabel = new QLabel(tr("&Host:"), this);
    popUpButton_ = new QComboBox(this);
    for (const auto host : viewModel_->availableHosts())
        popUpButton_->addItem(QIcon(QPixmap::fromImage(icon(host))), displayName(host));
    popUpButton_->setAccessibleName(tr("Host"));
    hostLabel->setBuddy(popUpButton_);

    containerView_ = new QWidget(this);
    auto* containerLayout = new QVBoxLayout(containerView_);
    containerLayout->setContentsMargins(0, 0, 0, 0);

    auto* buttons = buttonBar(this);
    cancelButton_ = buttons->button(QDialogButtonBox::Cancel);
    addButton_ = buttons->addButton(tr("Add"), QDialogButtonBox::AcceptRole);
    addButton_->setEnabled(false);
    addButton_->setDefault(true);

    auto* hostRow = new QHBoxLayout;
    hostRow->addWidget(hostLabel);
    hostRow->addWidget(popUpButton_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(hostRow);
    layout->addWidget(containerView_, 1);
    layout->addWidget(buttons);

    connect(popUpButton_, &QComboBox::activated, this,
            &AddPodcastHostViewController::popUpButtonOptionSelected);
    connect(cancelButton_, &QPushButton::clicked, this, &AddPodcastHostViewController::cancelButtonPressed);
    connect(addButton_, &QPushButton::clicked, this, &AddPodcastHostViewController::addButtonPressed);
    auto* escape = new QShortcut(QKeySequence::Cancel, this);
    connect(escape, &QShortcut::activated, this, &AddPodcastHostViewController::cancelButtonPressed);

    viewModel_->setDelegate(this);
    // The window opens on the SoundCloud pane, and the chooser says so.
    showHost(PodcastHost::SoundCloud);
}

void AddPodcastHostViewController::showHost(PodcastHost host)
{
    popUpButton_->setCurrentText(displayName(host));
    viewModel_->setSelectedHost(host);
}

AddPodcastHostViewController::~AddPodcastHostViewController()
{
    // The panes are shared: give the one shown back before Qt deletes this window's children.
    releaseCurrentPane();
}

AddPodcastHostViewController*
AddPodcastHostViewController::present(PaneProvider libsynPane, PaneProvider soundCloudPane, QWidget* owner)
{
    auto& window = presentedWindow();
    // A window that was closed is on its way out (it deletes itself later): open a new one.
    if (!window || !window->isVisible()) {
        window = new AddPodcastHostViewController(std::move(libsynPane), std::move(soundCloudPane),
                                                  owner ? owner->window() : nullptr);
        // Its own window, kept on top of the one it was asked from.
        window->setWindowFlag(Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        keepContentsWhole(*window);
        window->popUpButton_->setFocus();
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

AddPodcastHostViewController* AddPodcastHostViewController::presented()
{
    return presentedWindow();
}

void AddPodcastHostViewController::setAddButtonTarget(QObject* target, std::function<void()> action)
{
    addButtonTarget_ = target;
    addButtonAction_ = target ? std::move(action) : std::function<void()>();
}

void AddPodcastHostViewController::addPodcastHostViewModelFieldsDidChange(AddPodcastHostViewModel& viewModel)
{
    addButton_->setEnabled(viewModel.canSubmit());
}

void AddPodcastHostViewController::addPodcastHostViewModelDelegateSelectedHostDidSet(AddPodcastHostViewModel&)
{
    showPaneForSelectedHost();
}

void AddPodcastHostViewController::hostAuthenticationViewControllerDidAuthenticate(bool) {}

void AddPodcastHostViewController::popUpButtonOptionSelected()
{
    const int index = popUpButton_->currentIndex();
    if (index < 0)
        return;
    if (const auto host = podcastHostFromStoredText(popUpButton_->itemText(index)))
        viewModel_->setSelectedHost(*host);
}

void AddPodcastHostViewController::didSelectPodcastHost(QObject* sender)
{
    if (!qobject_cast<QAbstractButton*>(sender))
        return;
    bool valid = false;
    const int tag = sender->property("tag").toInt(&valid);
    const auto& hosts = viewModel_->availableHosts();
    if (!valid || tag < 0 || tag >= static_cast<int>(hosts.size()))
        return;
    viewModel_->setSelectedHost(hosts[static_cast<std::size_t>(tag)]);
}

void AddPodcastHostViewController::cancelButtonPressed()
{
    window()->close();
}

void AddPodcastHostViewController::addButtonPressed()
{
    // The pane that holds the button decides what Add does; the window itself saves nothing.
    if (addButtonTarget_ && addButtonAction_)
        addButtonAction_();
}

void AddPodcastHostViewController::showPaneForSelectedHost()
{
    releaseCurrentPane();
    QWidget* pane = viewModel_->getAuthenticationViewControllerForSelectedHost();
    currentChildViewController_ = pane;
    if (!pane)
        return;
    pane->setParent(containerView_);
    containerView_->layout()->addWidget(pane);
    if (auto* hostPane = qobject_cast<HostAuthenticationViewController*>(pane))
        hostPane->setHostAuthenticationViewControllerDelegate(this);
    // Showing the pane lets it take the Add button over (HostAuthenticationViewController::viewDidAppear).
    pane->show();
    orderTabsAroundPane(*pane);
}

void AddPodcastHostViewController::orderTabsAroundPane(QWidget& pane)
{
    // A pane put into the window joins the end of its keyboard order, after Cancel and Add; the
    // order follows the window from top to bottom instead: host, the pane's fields, Cancel, Add.
    QWidgetList fields;
    for (QWidget* widget = popUpButton_->nextInFocusChain(); widget != popUpButton_;
         widget = widget->nextInFocusChain()) {
        if (pane.isAncestorOf(widget) && (widget->focusPolicy() & Qt::TabFocus))
            fields.append(widget);
    }
    QWidget* previous = popUpButton_;
    for (QWidget* field : fields)
        setTabOrder(std::exchange(previous, field), field);
    setTabOrder(previous, cancelButton_);
    setTabOrder(cancelButton_, addButton_);
}

void AddPodcastHostViewController::releaseCurrentPane()
{
    QWidget* pane = currentChildViewController_;
    currentChildViewController_ = nullptr;
    // Until the next pane takes it over, Add does nothing.
    setAddButtonTarget(nullptr, {});
    if (addButton_)
        addButton_->setEnabled(false);
    if (!pane || pane->parentWidget() != containerView_)
        return;
    containerView_->layout()->removeWidget(pane);
    pane->hide();
    pane->setParent(nullptr);
    if (auto* hostPane = qobject_cast<HostAuthenticationViewController*>(pane)) {
        if (hostPane->hostAuthenticationViewControllerDelegate() == this)
            hostPane->setHostAuthenticationViewControllerDelegate(nullptr);
    }
}

} // namespace airlark
