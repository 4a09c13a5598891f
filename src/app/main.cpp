#include "app/Application.h"
#include "cli/CommandLine.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // The command line, and a start without a display, run before any GUI application object exists.
    if (const std::optional<int> status = airlark::cli::runWithoutWindow(argc, argv))
        return *status;
    QApplication application(argc, argv);
    return airlark::runAirlark(application);
}
