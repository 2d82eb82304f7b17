#include "app_settings.h"
#include "guard.h"
#include "main_window.h"
#include "port_resolver.h"
#include "qt_platform.h"
#include "qt_serial_port.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

namespace {

// Errors that escape an event handler are shown and the program goes on.
class TavroApplication : public QApplication {
public:
    TavroApplication(int &argc, char **argv, tavro::MessageSink &messages)
        : QApplication(argc, argv), messages_(messages)
    {
    }
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception &e) {
            messages_.show(QString::fromUtf8(e.what()));
        }
        return false;
    }

private:
    tavro::MessageSink &messages_;
};

} // namespace

int main(int argc, char **argv)
{
    tavro::MessageBoxSink messages;
    TavroApplication app(argc, argv, messages);
    QApplication::setApplicationName(QStringLiteral("Tavro"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tavro"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Tavro service and monitoring program"));
    parser.addHelpOption();
    QCommandLineOption portMap(QStringLiteral("port-map"),
                               QStringLiteral("Use device PATH for port number N in this run (repeatable)."),
                               QStringLiteral("N=PATH"));
    QCommandLineOption startupTime(QStringLiteral("print-startup-ms"),
                                   QStringLiteral("Print the milliseconds from start to the shown window."));
    QCommandLineOption quitAfter(QStringLiteral("quit-after-ms"),
                                 QStringLiteral("Close the window after this many milliseconds."),
                                 QStringLiteral("MS"));
    parser.addOptions({portMap, startupTime, quitAfter});
    parser.process(app);

    QElapsedTimer sinceStart;
    sinceStart.start();
    try {
        AppSettings settings;
        PortResolver resolver(settings);
        QString error;
        const auto overrides = parsePortMapArgs(parser.values(portMap), &error);
        if (!error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        }
        resolver.setOverrides(overrides);
        tavro::QtSerialPort port(resolver);
        tavro::QtTimerFactory timers;
        tavro::SystemClock clock;
        MainWindow window(Platform{port, timers, clock, messages, settings, &resolver});
        window.show();
        if (parser.isSet(startupTime))
            QTimer::singleShot(0, [&sinceStart] {
                std::printf("startup-ms %lld\n", static_cast<long long>(sinceStart.elapsed()));
                std::fflush(stdout);
            });
        if (parser.isSet(quitAfter))
            QTimer::singleShot(parser.value(quitAfter).toInt(), &window, &QWidget::close);
        return app.exec();
    } catch (const std::exception &e) {
        messages.show(QString::fromUtf8(e.what()));
        return 1;
    }
}
