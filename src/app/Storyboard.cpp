#include "app/Storyboard.h"

namespace airlark {

Storyboard::Storyboard(QString name, Factory initialController, std::map<QString, Factory> controllers)
    : name_(std::move(name)), initialController_(std::move(initialController)),
      controllers_(std::move(controllers))
{
}

QWidget* Storyboard::instantiateInitialController() const
{
    return initialController_ ? initialController_() : nullptr;
}

QWidget* Storyboard::instantiateControllerWithIdentifier(const QString& identifier) const
{
    const auto found = controllers_.find(identifier);
    return found != controllers_.end() && found->second ? found->second() : nullptr;
}

} // namespace airlark
