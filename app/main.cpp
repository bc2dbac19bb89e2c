#include "app/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("drive-setup"));
    QApplication::setApplicationVersion(QStringLiteral(DRIVE_SETUP_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Sets up and drives VNH2SP30 motor-controller boards and the robot they move."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Adds NAME (a device path such as /dev/ttyUSB0) to the port list and selects it."),
                                        QStringLiteral("NAME"));
    const QCommandLineOption connectOption(QStringLiteral("connect"),
                                           QStringLiteral("Presses Connect once the window is shown."));
    parser.addOption(portOption);
    parser.addOption(connectOption);
    parser.process(app);

    MainWindow window;
    if (parser.isSet(portOption))
        window.addPort(parser.value(portOption));
    window.show();
    if (parser.isSet(connectOption))
        QTimer::singleShot(0, window.pushButton_Connect, &QPushButton::click);
    return app.exec();
}
