#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <optional>

namespace airlark {

class AddPodcastHostViewController;

class HostAuthenticationViewControllerDelegate
{
public:
    virtual ~HostAuthenticationViewControllerDelegate() = default;
    virtual void hostAuthenticationViewControllerDidAuthenticate(bool authenticated) = 0;
};

// The base of every host's sign-in pane in the add-account window. A pane is a shared screen that
// outlives the windows that show it; while shown it drives the window's Add button through
// takeOverAddButton(), saves the account itself and closes the window.
class HostAuthenticationViewController : public QWidget
{
    Q_OBJECT
public:
    explicit HostAuthenticationViewController(QWidget* parent = nullptr);
    ~HostAuthenticationViewController() override;

    HostAuthenticationViewControllerDelegate* hostAuthenticationViewControllerDelegate() const
    {
        return hostAuthenticationViewControllerDelegate_;
    }
    void setHostAuthenticationViewControllerDelegate(HostAuthenticationViewControllerDelegate* delegate)
    {
        hostAuthenticationViewControllerDelegate_ = delegate;
    }

    // Saves the account the pane signed in to. Nothing on success, else why it failed. A pane
    // that is asked to save must override this: the base stops the process ("Must be overridden").
    virtual std::optional<QString> saveCredentials();

    // The add-account window showing this pane, or null.
    AddPodcastHostViewController* parentController() const;

public slots:
    // What the window's Add button does while this pane holds it.
    virtual void addButtonSelected();

protected:
    // Runs once, before the pane is first shown.
    virtual void viewDidLoad() {}
    // Runs every time the pane is shown (in a window, or again after switching hosts).
    virtual void viewDidAppear() {}

    // Makes the Add button of the window showing this pane call addButtonSelected() and sets its
    // enabled state. No-op outside a window.
    void takeOverAddButton(bool enabled);
    // Enables or disables the Add button, if this pane holds it.
    void setAddButtonEnabled(bool enabled);
    // Closes the window showing this pane, if any.
    void closeWindow();

    void showEvent(QShowEvent* event) override;

private:
    HostAuthenticationViewControllerDelegate* hostAuthenticationViewControllerDelegate_ = nullptr;
    bool viewLoaded_ = false;
};

} // namespace airlark
