// The handlers' guard: errors of nested handlers reach the outer one and are shown once.
#include <QScrollBar>
#include <QStringList>

#include <gtest/gtest.h>

#include "app/Guard.h"
#include "matrix/Error.h"

namespace tesora::testing {
namespace {

// A scroll bar whose change handler runs under the guard, as the window's do, and
// fails for positions above 50.
class GuardTest : public ::testing::Test {
protected:
    GuardTest() {
        QObject::connect(&bar, &QScrollBar::valueChanged, [this](int position) {
            guard.Run([&] {
                ++nestedRuns;
                if (position > 50) throw Error("Position " + std::to_string(position) + " zu groß");
            });
        });
    }

    QStringList shown;
    int finished = 0;
    int nestedRuns = 0;
    HandlerGuard guard{[this](const QString& message) { shown << message; }, [this] { ++finished; }};
    QScrollBar bar;
};

TEST_F(GuardTest, NestedFailureEndsTheOuterHandlerAndIsShownOnce) {
    bool outerWentOn = false;
    guard.Run([&] {
        guard.RunNested([&] { bar.setValue(60); });
        outerWentOn = true;
    });
    EXPECT_EQ(nestedRuns, 1);
    EXPECT_FALSE(outerWentOn);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Position 60 zu groß")});
    EXPECT_EQ(finished, 1);  // only the outermost handler finishes
    EXPECT_EQ(guard.Depth(), 0);

    // The error is gone with the handler that showed it: the next one runs clean.
    guard.Run([&] { guard.RunNested([&] { bar.setValue(10); }); });
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(finished, 2);
}

TEST_F(GuardTest, NestedFailureOutsideASetterIsShownWhenTheOuterHandlerEnds) {
    // Moved without RunNested: nothing can end the outer handler early, but the error
    // must not be lost either.
    bool outerWentOn = false;
    guard.Run([&] {
        bar.setValue(70);
        outerWentOn = true;
    });
    EXPECT_TRUE(outerWentOn);
    EXPECT_EQ(shown, QStringList{QStringLiteral("Position 70 zu groß")});
}

TEST_F(GuardTest, OuterErrorWinsAndLaterNestedErrorsDoNotPile) {
    guard.Run([&] {
        bar.setValue(80);               // nested error, not through a setter
        throw Error("äußerer Fehler");  // the outer handler's own
    });
    EXPECT_EQ(shown, QStringList{QStringLiteral("äußerer Fehler")});

    // Two nested failures in one handler: the first ends it, only it is shown.
    guard.Run([&] {
        guard.RunNested([&] {
            bar.setValue(90);
            bar.setValue(95);
        });
    });
    EXPECT_EQ(shown.size(), 2);
    EXPECT_EQ(shown.back(), QStringLiteral("Position 90 zu groß"));
    EXPECT_EQ(nestedRuns, 3);
}

}  // namespace
}  // namespace tesora::testing
