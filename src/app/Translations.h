#pragma once

class QCoreApplication;

namespace airlark {

// Loads Airlark's translation for the user's locale, and Qt's own for the standard dialogs, when
// they are installed; English stays when none is. Looks beside the program (a build tree) and in
// ../share/airlark/translations from it (an installation). Call once, before any window exists.
void installTranslations(QCoreApplication& application);

} // namespace airlark
