#include "cli/Interrupt.h"

#include <csignal>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

namespace tesora::cli {
namespace {

// Fixed storage: the handler may only read memory that never moves and call
// async-signal-safe functions (unlink, signal, raise).
constexpr int kSlots = 16;
constexpr std::size_t kNameSize = 4096;
char names[kSlots][kNameSize];
volatile std::sig_atomic_t inUse[kSlots];

// The thread that renames the outputs with the signals held. A signal the system hands
// to another thread (the transform's helpers) is passed on to it, so that holding them
// there holds them for the whole process.
pthread_t mainThread;

extern "C" void RemoveTemporariesAndDie(int signal) {
    if (!pthread_equal(pthread_self(), mainThread)) {
        pthread_kill(mainThread, signal);
        return;
    }
    for (int i = 0; i < kSlots; ++i)
        if (inUse[i]) unlink(names[i]);
    // The default action, so the parent sees the run ended by this signal.
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace

void InstallInterruptCleanup() {
    mainThread = pthread_self();
    std::signal(SIGINT, RemoveTemporariesAndDie);
    std::signal(SIGTERM, RemoveTemporariesAndDie);
    std::signal(SIGXFSZ, SIG_IGN);
}

TrackedTemporary::TrackedTemporary(const QByteArray& name) {
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= kNameSize) return;
    for (int i = 0; i < kSlots; ++i) {
        if (inUse[i]) continue;
        std::memcpy(names[i], name.constData(), static_cast<std::size_t>(name.size()) + 1);
        inUse[i] = 1;  // only now may the handler read the slot
        slot_ = i;
        return;
    }
}

TrackedTemporary::~TrackedTemporary() {
    if (slot_ >= 0) inUse[slot_] = 0;
}

}  // namespace tesora::cli
