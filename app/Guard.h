#pragma once
// How the windows run their handlers. An error ends a handler and goes to the error
// display, never through Qt's signal machinery. A handler nested in another (the scroll
// bar moved by "Calc Delta", the track bar moved by "Öffnen") hands its error to the
// outer one, which ends as well; the display then shows it once.
#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace tesora {

class HandlerGuard {
public:
    using Display = std::function<void(const QString&)>;
    using Finish = std::function<void()>;

    // `finish` runs when the outermost handler ends, before an error is shown.
    HandlerGuard(Display display, Finish finish) : display_(std::move(display)), finish_(std::move(finish)) {}

    // Runs a handler's work.
    template <typename Work>
    void Run(Work&& work) {
        ++depth_;
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        --depth_;
        Settle(error);
    }

    // Runs a setter that may raise a change handler of ours, and ends the calling
    // handler with that handler's error, as if the setter itself had failed.
    template <typename Setter>
    void RunNested(Setter&& setter) {
        nestedError_ = nullptr;
        setter();
        RethrowNested();
    }

    int Depth() const { return depth_; }

private:
    void Settle(std::exception_ptr error);
    void RethrowNested();

    Display display_;
    Finish finish_;
    int depth_ = 0;
    std::exception_ptr nestedError_;
};

}  // namespace tesora
