#pragma once

#include "hosts/ui/HostAuthenticationViewController.h"

namespace airlark {

// Stands in for the SoundCloud sign-in pane until it exists: says so, and keeps Add disabled.
class SoundCloudPanePlaceholder : public HostAuthenticationViewController
{
    Q_OBJECT
public:
    explicit SoundCloudPanePlaceholder(QWidget* parent = nullptr);

protected:
    void viewDidAppear() override;
};

} // namespace airlark
