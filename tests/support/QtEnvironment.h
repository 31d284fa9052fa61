#pragma once
// One QApplication for a whole test binary, on the offscreen platform.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "matrix/Platform.h"

namespace tesora::testing {

class QtEnvironment : public ::testing::Environment {
public:
    // With germanLocale, the process runs under a comma-decimal locale, so every number
    // shown or read is checked against one.
    QtEnvironment(const char* name, bool germanLocale) : germanLocale_(germanLocale) {
        std::snprintf(name_, sizeof name_, "%s", name);
    }
    void SetUp() override {
        platform::SetEnvironment("QT_QPA_PLATFORM", "offscreen", false);
        if (germanLocale_) platform::SetEnvironment("LC_ALL", "de_DE.UTF-8", true);
        if (!QApplication::instance()) app_ = new QApplication(argc_, argv_);
    }
    void TearDown() override {
        delete app_;
        app_ = nullptr;
    }

private:
    bool germanLocale_;
    int argc_ = 1;
    char name_[16] = {};
    char* argv_[2] = {name_, nullptr};
    QApplication* app_ = nullptr;
};

}  // namespace tesora::testing
