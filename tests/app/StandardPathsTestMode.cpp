// Linked into every window test: Qt's standard locations become its test folders before the application starts,
// so what the file dialogs remember between showings never reaches the user's own settings.
#include <QCoreApplication>
#include <QStandardPaths>

namespace {

void enableStandardPathsTestMode()
{
    QStandardPaths::setTestModeEnabled(true);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(enableStandardPathsTestMode)
