#include "app/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtDebug>

namespace airlark {

void installTranslations(QCoreApplication& application)
{
    const QLocale locale;
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);

    const QString programFolder = QCoreApplication::applicationDirPath();
    const QStringList folders{programFolder,
                              programFolder + QStringLiteral("/../share/airlark/translations")};
    for (const QString& folder : folders) {
        auto* own = new QTranslator(&application);
        if (own->load(locale, QStringLiteral("airlark"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(own);
            qInfo("Translation: %s", qPrintable(own->filePath()));
            return;
        }
        delete own;
    }
}

} // namespace airlark
