// "Öffnen" and "Fehler?" on damaged files: refused exactly like an unreadable file.
#include <QDir>
#include <QFile>

#include "WindowHarness.h"
#include "picture/PictureFile.h"
#include "support/DamagedPictures.h"

namespace tesora::testing {
namespace {

using DamagedOpenTest = WindowTest;

// Every cut of every kind of file that the loader refuses: one error box naming the
// file, nothing else changed, the caption included.
TEST_F(DamagedOpenTest, EveryRefusedTruncationChangesNothingButShowsTheErrorBox) {
    Open(Write(Pattern(40, 30), "good.bmp"));
    ASSERT_TRUE(errors.empty());
    const Snapshot before = Take(form);
    int cuts = 0;
    for (const PictureBytes& kind : SmallPictureFiles()) {
        for (int length = 1; length < kind.bytes.size(); ++length) {
            const QString path = dir.filePath(QStringLiteral("cut%1.%2").arg(++cuts).arg(QLatin1String(kind.suffix)));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(kind.bytes.left(length));
            file.close();
            try {
                LoadPictureFile(path);
                continue;  // only the end marker was cut: a whole picture, opened as any
            } catch (const Error&) {
            }
            const std::size_t shown = errors.size();
            Open(path);
            ASSERT_EQ(errors.size(), shown + 1) << kind.kind << " cut to " << length;
            EXPECT_TRUE(errors.back().contains(path)) << errors.back().toStdString();
            ExpectSame(before, Take(form));
            ASSERT_FALSE(::testing::Test::HasFailure()) << kind.kind << " cut to " << length;
            QFile::remove(path);
        }
    }
    EXPECT_EQ(Caption(), before.caption);
}

// Sizes come from the header: a too-wide file reports in the caption even without
// pixels, one with too many pixels like an unreadable file.
TEST_F(DamagedOpenTest, SizesBeyondTheBoundsAreJudgedFromTheHeader) {
    Open(Write(Pattern(40, 30), "good.bmp"));
    const Snapshot before = Take(form);
    QByteArray header = EncodeWithQt(Pattern(4, 4), "BMP").left(54);
    const auto put = [&header](int at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) header[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    const auto write = [&](const QString& name) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(header);
        return file.fileName();
    };
    put(18, 2000);
    Open(write(QStringLiteral("wide.bmp")));
    EXPECT_EQ(Caption(), QStringLiteral("Bild zu breit (max. 1025 Pixel)!"));
    EXPECT_TRUE(errors.empty());
    ExpectSame(before, Take(form));

    put(18, kMaxSide);
    put(22, 4097);
    Open(write(QStringLiteral("large.bmp")));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("höchstens 4198400 (1025 x 4096)")));
    ExpectSame(before, Take(form));
}

// "Fehler?" reads the file again: damaged since it was opened, it is refused the same way.
TEST_F(DamagedOpenTest, FehlerOnAFileDamagedSinceItWasOpenedShowsTheErrorBox) {
    const QString path = Write(Pattern(37, 29), "picture.bmp");
    Open(path);
    const QImage reduced = Reduced();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(54 + 5 * 112));  // five of 29 rows left
    file.close();
    form->butFehler->click();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("beschädigt oder unvollständig")));
    EXPECT_EQ(Reduced(), reduced);
    EXPECT_EQ(form->labFehler->text(), QStringLiteral("0"));
}

}  // namespace
}  // namespace tesora::testing
