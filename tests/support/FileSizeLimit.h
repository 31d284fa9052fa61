#pragma once
// A full disk without root rights or mounts: while a FileSizeLimit lives, no file of
// this process can grow beyond `bytes` (writes past it fail with EFBIG instead of
// raising SIGXFSZ). Keep the scope tight: test logs written to files are limited too.
#include <csignal>
#include <sys/resource.h>

#include <gtest/gtest.h>

namespace tesora::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        EXPECT_EQ(getrlimit(RLIMIT_FSIZE, &saved_), 0);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = nullptr;
};

}  // namespace tesora::testing
