// Command-line names are decoded without loss: every byte string comes back as itself,
// and only names that are not UTF-8 need the tool's own path to the file.
#include <QByteArray>

#include <gtest/gtest.h>

#include "report/NativeNames.h"

namespace tesora::report {
namespace {

TEST(NativeNamesTest, EveryByteStringSurvivesTheRoundTrip) {
    const struct {
        QByteArray bytes;
        bool qtCanName;
    } cases[] = {
        {"plain.bmp", true},
        {"B\xc3\xbc"
         "cher/\xe2\x82\xac.bmp",
         true},                            // UTF-8: ü and €
        {"caf\xe9.bmp", false},            // Latin-1 é
        {"\xff\xfe\x80", false},           // never UTF-8
        {"\xed\xa0\x80.bmp", false},       // an encoded surrogate
        {"\xc0\xaf", false},               // overlong "/"
        {"\xf0\x9f\x98\x80 \xe9", false},  // valid and invalid mixed
    };
    for (const auto& c : cases) {
        char* argv[] = {const_cast<char*>("tesora-cli"), const_cast<char*>(c.bytes.constData())};
        const QStringList arguments = DecodeArguments(2, argv);
        ASSERT_EQ(arguments.size(), 2);
        EXPECT_EQ(NativeName(arguments[1]), c.bytes) << c.bytes.toHex().constData();
        EXPECT_EQ(QtCanName(arguments[1]), c.qtCanName) << c.bytes.toHex().constData();
        if (c.qtCanName) {
            EXPECT_EQ(arguments[1], QString::fromUtf8(c.bytes));
        }
    }
}

}  // namespace
}  // namespace tesora::report
