#include "http/HTTPError.h"

#include "http/HTTPResponse.h"

namespace airlark {

HTTPError::HTTPError(QString errorDomain, int errorCode, QString description, QString failureReason)
    : domain(std::move(errorDomain)), code(errorCode), localizedDescription(std::move(description)),
      localizedFailureReason(std::move(failureReason))
{
}

bool HTTPError::is(const char* errorDomain, int errorCode) const
{
    return code == errorCode && domain == QLatin1String(errorDomain);
}

bool HTTPError::hasInChain(const char* errorDomain, int errorCode) const
{
    for (const HTTPError* error = this; error; error = error->underlyingError.get()) {
        if (error->is(errorDomain, errorCode))
            return true;
    }
    return false;
}

QString HTTPError::description() const
{
    QString text =
        QStringLiteral("Error Domain=%1 Code=%2 \"%3\"").arg(domain).arg(code).arg(localizedDescription);
    if (!localizedFailureReason.isEmpty())
        text += QStringLiteral(" Reason=\"%1\"").arg(localizedFailureReason);
    if (failingURL.isValid())
        text += QStringLiteral(" URL=%1").arg(failingURL.toString());
    if (underlyingError)
        text += QStringLiteral(" Underlying=(%1)").arg(underlyingError->description());
    return text;
}

} // namespace airlark
