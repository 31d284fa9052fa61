// The command line of tesora: what is answered before any window, and the picture file.
#include <QByteArray>
#include <gtest/gtest.h>

#include "TesoraVersion.h"
#include "app/DataFolders.h"
#include "app/Launch.h"

namespace tesora {
namespace {

QStringList Args(std::initializer_list<const char*> rest) {
    QStringList args{QStringLiteral("tesora")};
    for (const char* arg : rest) args << QString::fromUtf8(arg);
    return args;
}

TEST(Launch, HelpVersionAndSamplesNeedNoDisplay) {
    const QString here = QStringLiteral(TESORA_SOURCE_DIR "/app");  // as if built in there
    for (const char* help : {"--help", "-h"}) {
        const auto exit = CheckEarlyExit(Args({"bild.bmp", help}), false, here);
        ASSERT_TRUE(exit);
        EXPECT_EQ(exit->status, 0);
        EXPECT_FALSE(exit->toStandardError);
        EXPECT_TRUE(exit->text.startsWith(QStringLiteral("Aufruf: tesora [DATEI]\n")));
    }
    const auto version = CheckEarlyExit(Args({"--version"}), false, here);
    ASSERT_TRUE(version);
    EXPECT_EQ(version->text, QStringLiteral("tesora " TESORA_VERSION "\n"));

    const auto samples = CheckEarlyExit(Args({"--samples-folder"}), false, here);
    ASSERT_TRUE(samples);
    EXPECT_EQ(samples->status, 0);
    EXPECT_EQ(samples->text.toStdString(), FindSamplesFolder(here).toStdString() + "\n");
    EXPECT_FALSE(FindSamplesFolder(here).isEmpty());
    const auto none = CheckEarlyExit(Args({"--samples-folder"}), false, QStringLiteral("/"));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->status, 1);
    EXPECT_TRUE(none->toStandardError);
}

TEST(Launch, WithoutADisplayOneLineSaysWhatToDoInstead) {
    const auto exit = CheckEarlyExit(Args({"bild.bmp"}), false, QString());
    ASSERT_TRUE(exit);
    EXPECT_NE(exit->status, 0);
    EXPECT_TRUE(exit->toStandardError);
    EXPECT_EQ(exit->text.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(exit->text.endsWith(QLatin1Char('\n')));
    EXPECT_TRUE(exit->text.contains(QStringLiteral("tesora-cli")));
    EXPECT_FALSE(exit->text.contains(QStringLiteral("make"))) << "advice for developers, not for users";

    EXPECT_FALSE(CheckEarlyExit(Args({"bild.bmp"}), true, QString()));
    EXPECT_FALSE(CheckEarlyExit(Args({"--", "--help"}), true, QString())) << "a file named --help";
}

TEST(Launch, DisplayComesFromTheEnvironmentOrQtsPlatformOption) {
    const char* names[] = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    QByteArray saved[3];
    for (int i = 0; i < 3; ++i) {
        saved[i] = qgetenv(names[i]);
        qunsetenv(names[i]);
    }
    EXPECT_FALSE(DisplayAvailable(Args({})));
    EXPECT_TRUE(DisplayAvailable(Args({"-platform", "offscreen"})));
    for (int i = 0; i < 3; ++i) {
        qputenv(names[i], ":9");
        EXPECT_TRUE(DisplayAvailable(Args({}))) << names[i];
        qunsetenv(names[i]);
    }
    for (int i = 0; i < 3; ++i)
        if (!saved[i].isNull()) qputenv(names[i], saved[i]);
}

TEST(Launch, AtMostOnePictureFile) {
    EXPECT_EQ(FindPictureArgument(Args({})).file, QString());
    EXPECT_FALSE(FindPictureArgument(Args({})).error);
    EXPECT_EQ(FindPictureArgument(Args({"a b.bmp"})).file, QStringLiteral("a b.bmp"));
    EXPECT_EQ(FindPictureArgument(Args({"--", "-odd.bmp"})).file, QStringLiteral("-odd.bmp"));
    EXPECT_EQ(FindPictureArgument(Args({"-"})).file, QStringLiteral("-"));

    for (const auto& args : {Args({"a.bmp", "b.bmp"}), Args({"--bunt"}), Args({"a.bmp", "-x"})}) {
        const PictureArgument result = FindPictureArgument(args);
        ASSERT_TRUE(result.error) << args.join(' ').toStdString();
        EXPECT_EQ(result.error->status, 2);
        EXPECT_TRUE(result.error->toStandardError);
    }
}

}  // namespace
}  // namespace tesora
