#pragma once

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace airlark {

// Airlark's help, inside the application: the pages bundled under :/help/, read in a text browser
// so that help opens the same with or without a network or a web browser. Links between pages
// stay here; links to the web go to the desktop's browser, and when that fails the reason is
// shown over the main window rather than only logged.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    // A window of its own, on top of `mainWindow`, which also parents its message boxes.
    explicit HelpWindow(QWidget* mainWindow);

    // Shows `page` (a file name under :/help/, "index.html" for the contents) and brings the
    // window forward.
    void showPage(const QString& page);

    QTextBrowser* browser() const { return browser_; }

private:
    void followLink(const QUrl& link);

    QTextBrowser* browser_;
};

} // namespace airlark
