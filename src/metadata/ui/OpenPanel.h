#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

namespace airlark {

// What an open panel lets the user choose.
struct OpenPanelOptions
{
    QString title;
    QStringList allowedFileTypes; // extensions without the dot, e.g. "mp3"
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool allowsMultipleSelection = false;
};

// The file chooser of the metadata screens: a QFileDialog shown window-modal over the screen's
// window, answered later through a completion (no nested event loop). Tests install a presenter
// that answers in place of the dialog, so that no test waits on a modal window.
class OpenPanel
{
public:
    // The chosen files, or nothing when the user cancelled.
    using Completion = std::function<void(std::optional<QList<QUrl>> chosen)>;
    using Presenter =
        std::function<void(QWidget* parent, const OpenPanelOptions& options, Completion completion)>;

    static void begin(QWidget* parent, const OpenPanelOptions& options, Completion completion);

    // Replaces the dialog (an empty presenter restores it).
    static void setPresenterForTesting(Presenter presenter);

    // Where the dialog opens: the folder last chosen from for this kind of file, else the
    // user's music folder (XDG), else home.
    static QString startFolder(const OpenPanelOptions& options);

    // The name filter QFileDialog is given, e.g. "MP3 files (*.mp3 *.MP3)".
    static QString nameFilter(const OpenPanelOptions& options);
};

} // namespace airlark
