// The program's windows with its termination-signal handling, running one
// command line in the console as Make ISO and CD Operations do: the main
// event loop, the console's modal loop inside it. Exits as Spindle does.
#define SPINDLE_UI_TESTS
#include "app/ui/termination.h"
#include "ui/style.h"
#include "exec/ui/console_capture.h"
#include "platform/process.h"
#include "testutil.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    QApplication a(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    auto *dialogs = new FakeDialogs;
    createWindowsWith(dialogs);
    app::endOnTerminationSignals();
    const QString commandLine = QString::fromLocal8Bit(argv[1]);
    QTimer::singleShot(0, [commandLine] {
        std::printf("running\n");
        std::fflush(stdout);
        app::windows().console->run(commandLine);
        std::printf("console closed\n");
        std::fflush(stdout);
    });
    const int rc = QApplication::exec();
    destroyWindowsOf(dialogs);
    platform::endAllJobs();
    return rc;
}
