#pragma once

#include <QString>
#include <functional>
#include <map>

class QWidget;

namespace airlark {

// A named set of screens made by identifier, in place of a designer file: the register below
// keeps one per workflow area and asks it for its controllers.
class Storyboard
{
public:
    using Factory = std::function<QWidget*()>;

    Storyboard(QString name, Factory initialController, std::map<QString, Factory> controllers);

    const QString& name() const { return name_; }

    // A new controller each call; null if the storyboard has none of that kind.
    QWidget* instantiateInitialController() const;
    QWidget* instantiateControllerWithIdentifier(const QString& identifier) const;

private:
    QString name_;
    Factory initialController_;
    std::map<QString, Factory> controllers_;
};

} // namespace airlark
