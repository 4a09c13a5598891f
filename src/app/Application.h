#pragma once

#include <QStringList>

class QApplication;

namespace airlark {

// The URLs among the process arguments (everything after the program name that is not an
// option): what the desktop passes for "Exec=airlark %u".
QStringList urlArguments(const QStringList& arguments);

// Runs Airlark in `application`: hands the URLs of the command line to an instance that is
// already running and returns 0, or becomes that instance, shows the main window and runs the
// event loop. URLs given at start-up are handled once the loop runs.
int runAirlark(QApplication& application);

} // namespace airlark
