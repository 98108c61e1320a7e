#include "Pictures.h"
#include "QtDialogs.h"
#include "QtProcessStarter.h"
#include "Unit1.h"

#include "CommandRunner.h"
#include "CoreDumps.h"
#include "Errors.h"
#include "ProductInfo.h"
#include "RemovalOnSignal.h"
#include "Session.h"

#include <QApplication>

#include <cstdlib>
#include <memory>

int main(int argc, char* argv[])
{
    qb::disableCoreDumps();
    qb::removeTemporaryFilesOnSignals();
    QApplication application(argc, argv);
    // The title is the caption of the standard error box and of the task-bar button.
    QApplication::setApplicationName(QString::fromLatin1(qb::kApplicationTitle));
    // Every window shows this icon, so each size of it is drawn once for them all.
    QApplication::setWindowIcon(qb::padlockIcon());
    // Lets the desktop match the window to its menu entry and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLBOX_APP_ID));

    // The launcher's own failure, for a user who started it from a menu and sees no terminal.
    if (argc == 3 && qstrcmp(argv[1], "--show-failure") == 0) {
        qb::QtDialogs(nullptr).showErrorBox(qb::standardErrorText(argv[2]));
        return EXIT_FAILURE;
    }

    qb::Session session;
    qb::QtProcessStarter starter;

    // Form1 first: its creation captures the data directory that Form4's creation reads mail.cfg from.
    std::unique_ptr<TForm1> form1;
    try {
        form1 = std::make_unique<TForm1>(session);
    } catch (const qb::EDataDirectory& error) {
        // Every file would land at the root of the file system instead: say why, and do not start.
        qb::QtDialogs(nullptr).showErrorBox(qb::standardErrorText(error.what()));
        return EXIT_FAILURE;
    }
    form1->createForms(starter);

    // Showing the main window shows the welcome window first, modally.
    form1->show();
    return QApplication::exec();
}
