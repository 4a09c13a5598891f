#include "http/HTTPRequest.h"

namespace airlark {

HTTPHeaderFields::HTTPHeaderFields(std::initializer_list<Field> fields)
{
    for (const Field& field : fields)
        setValue(field.second, field.first);
}

std::optional<QString> HTTPHeaderFields::value(const QString& name) const
{
    for (const Field& field : fields_) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            return field.second;
    }
    return std::nullopt;
}

bool HTTPHeaderFields::contains(const QString& name) const
{
    return value(name).has_value();
}

void HTTPHeaderFields::setValue(const std::optional<QString>& value, const QString& name)
{
    if (!value) {
        remove(name);
        return;
    }
    for (Field& field : fields_) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0) {
            field.second = *value;
            return;
        }
    }
    fields_.append({name, *value});
}

void HTTPHeaderFields::remove(const QString& name)
{
    fields_.removeIf(
        [&name](const Field& field) { return field.first.compare(name, Qt::CaseInsensitive) == 0; });
}

void HTTPHeaderFields::append(const QString& name, const QString& value)
{
    fields_.append({name, value});
}

} // namespace airlark
