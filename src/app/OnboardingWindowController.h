#pragma once

#include <QWidget>

namespace airlark {

// A small window that tells a new user what Airlark does and how a pass through it goes.
class OnboardingWindowController : public QWidget
{
    Q_OBJECT
public:
    explicit OnboardingWindowController(QWidget* parent = nullptr);
};

} // namespace airlark
