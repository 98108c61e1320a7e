// Renders the program's padlock as the PNG icons of the desktop's icon theme, so the installed icons are the very
// picture the windows show.
// Usage: quillbox_render_icons OUTPUT_DIR ICON_NAME SIZE... writes OUTPUT_DIR/SIZExSIZE/apps/ICON_NAME.png.

#include "Pictures.h"

#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    // Pixmaps need a GUI application; the build runs this on the offscreen platform.
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    QTextStream err(stderr);
    if (arguments.size() < 4) {
        err << "usage: quillbox_render_icons OUTPUT_DIR ICON_NAME SIZE...\n";
        return 2;
    }
    const QDir output(arguments.at(1));
    const QString& name = arguments.at(2);
    for (qsizetype i = 3; i < arguments.size(); ++i) {
        bool isNumber = false;
        const int size = arguments.at(i).toInt(&isNumber);
        if (!isNumber || size <= 0) {
            err << "not an icon size: " << arguments.at(i) << '\n';
            return 2;
        }
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = output.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        if (!output.mkpath(folder) || !qb::padlockPixmap(size).save(path, "PNG")) {
            err << "cannot write " << path << '\n';
            return 1;
        }
    }
    return 0;
}
