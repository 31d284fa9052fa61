// The windows' suite runs under the German locale from its first line: the decimal
// point the windows' code sees is a comma, and numbers are still read and written
// with a point, as the program shows them.
#include <QComboBox>
#include <QLocale>
#include <clocale>
#include <cstring>

#include "WindowHarness.h"
#include "blac/State.h"

namespace tesora::testing {
namespace {

using LocaleTest = WindowTest;

TEST_F(LocaleTest, WindowsSeeACommaAndStillReadAndShowPoints) {
    // Set before the application object existed, so Qt and the C library agree.
    EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral(","));
    ASSERT_NE(std::localeconv(), nullptr);
    EXPECT_STREQ(std::localeconv()->decimal_point, ",");

    form->cmbEpsilon->setEditText(QStringLiteral("0.5"));
    EXPECT_EQ(Epsilon, 0.5);
    form->cmbSchranke->setEditText(QStringLiteral("2,5"));  // the comma ends the number
    EXPECT_EQ(Schranke, 2.0);
    form->scrDelta->setValue(25);
    EXPECT_EQ(form->labDelta->text(), QStringLiteral("Delta: 0.25"));
}

}  // namespace
}  // namespace tesora::testing
