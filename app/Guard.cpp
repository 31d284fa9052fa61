#include "app/Guard.h"

namespace tesora {
namespace {

QString Describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QString();
    }
}

}  // namespace

void HandlerGuard::Settle(std::exception_ptr error) {
    if (depth_ > 0) {
        // Nested: the outer handler picks the error up when its setter returns.
        if (error && !nestedError_) nestedError_ = error;
        return;
    }
    // A nested handler failed where no setter of ours could pass it on.
    if (!error && nestedError_) error = nestedError_;
    nestedError_ = nullptr;
    if (finish_) finish_();
    if (error && display_) display_(Describe(error));
}

void HandlerGuard::RethrowNested() {
    if (!nestedError_) return;
    const std::exception_ptr error = nestedError_;
    nestedError_ = nullptr;
    std::rethrow_exception(error);
}

}  // namespace tesora
