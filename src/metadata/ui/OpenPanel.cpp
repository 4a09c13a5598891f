#include "metadata/ui/OpenPanel.h"

#include "platform/ApplicationIdentity.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

namespace airlark {
namespace {

OpenPanel::Presenter& testPresenter()
{
    static OpenPanel::Presenter presenter;
    return presenter;
}

// Episodes and artwork live in different folders: each kind of file remembers its own.
QString lastFolderKey(const OpenPanelOptions& options)
{
    return QStringLiteral("OpenPanel/lastFolder-") +
           options.allowedFileTypes.join(QLatin1Char('-')).toLower();
}

} // namespace

QString OpenPanel::startFolder(const OpenPanelOptions& options)
{
    const QString last =
        QSettings(applicationSettingsPath(), QSettings::IniFormat).value(lastFolderKey(options)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return QFileInfo(music).isDir() ? music : QDir::homePath();
}

QString OpenPanel::nameFilter(const OpenPanelOptions& options)
{
    if (options.allowedFileTypes.isEmpty())
        return QFileDialog::tr("All files (*)");
    QStringList patterns;
    for (const QString& type : options.allowedFileTypes)
        patterns << QStringLiteral("*.") + type.toLower() << QStringLiteral("*.") + type.toUpper();
    const QString label = options.allowedFileTypes.join(QStringLiteral(", ")).toUpper();
    return QFileDialog::tr("%1 files (%2)").arg(label, patterns.join(QLatin1Char(' ')));
}

void OpenPanel::begin(QWidget* parent, const OpenPanelOptions& options, Completion completion)
{
    if (const Presenter& presenter = testPresenter()) {
        presenter(parent, options, std::move(completion));
        return;
    }
    auto* dialog = new QFileDialog(parent ? parent->window() : nullptr, options.title);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (options.canChooseDirectories && !options.canChooseFiles)
        dialog->setFileMode(QFileDialog::Directory);
    else
        dialog->setFileMode(options.allowsMultipleSelection ? QFileDialog::ExistingFiles
                                                            : QFileDialog::ExistingFile);
    dialog->setNameFilter(nameFilter(options));
    dialog->setDirectory(startFolder(options));
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    // The completion runs once, whichever way the dialog ends.
    auto shared = std::make_shared<Completion>(std::move(completion));
    QObject::connect(dialog, &QFileDialog::finished, dialog, [dialog, shared, options](int result) {
        if (!*shared)
            return;
        const Completion done = std::exchange(*shared, Completion());
        if (result == QDialog::Accepted && !dialog->selectedUrls().isEmpty()) {
            QSettings(applicationSettingsPath(), QSettings::IniFormat)
                .setValue(lastFolderKey(options), dialog->directory().absolutePath());
            done(dialog->selectedUrls());
        } else {
            done(std::nullopt);
        }
    });
    dialog->open();
}

void OpenPanel::setPresenterForTesting(Presenter presenter)
{
    testPresenter() = std::move(presenter);
}

} // namespace airlark
