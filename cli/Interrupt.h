#pragma once
// Removing the temporary files of a write in progress when SIGINT or SIGTERM ends the
// run, so an interrupted tool leaves the folder as it found it.
#include <QByteArray>

namespace tesora::cli {

// Installs the handlers. Also ignores SIGXFSZ: a file over the size limit is then a
// failed write (exit status 1) instead of a killed process.
void InstallInterruptCleanup();

// A temporary file removed if a signal ends the run while the object lives. Empty
// names (nothing to remove) and names beyond the fixed table are ignored.
class TrackedTemporary {
public:
    explicit TrackedTemporary(const QByteArray& name);
    ~TrackedTemporary();
    TrackedTemporary(const TrackedTemporary&) = delete;
    TrackedTemporary& operator=(const TrackedTemporary&) = delete;

private:
    int slot_ = -1;
};

}  // namespace tesora::cli
