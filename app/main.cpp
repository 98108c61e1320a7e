#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    application.setApplicationDisplayName("Quillbox 97");
    QMainWindow window;
    window.setWindowTitle("Quillbox 97");
    window.show();
    return application.exec();
}
