#include "app/ui/termination.h"

#include "platform/process.h"
#include "platform/signals.h"

#include <QCoreApplication>

namespace app {

void endOnTerminationSignals()
{
    platform::catchTerminationSignals();
    platform::onTerminationSignal(QCoreApplication::instance(), [](int sig) {
        platform::endAllJobs();
        // Leaves the modal loops too; dialogs that would open on the way out
        // return at once.
        QCoreApplication::exit(128 + sig);
    });
}

} // namespace app
