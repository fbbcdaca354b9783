// Program entry.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plotwise"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Plotwise - Ver1.4"));
    window.show();
    return app.exec();
}
