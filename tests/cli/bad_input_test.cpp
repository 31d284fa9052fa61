// Every kind of bad input ends with its exit status, one German line on standard error,
// nothing on standard output and no file written.
#include <sys/stat.h>
#include <unistd.h>

#include "CliHarness.h"

namespace tesora::testing {
namespace {

struct BadCase {
    const char* name;
    QStringList args;  // "@IN@" stands for the usable picture, "@DIR@" for the folder
    int status;
    const char* message;  // part of the error line
};

class BadInputTest : public CliTest {
protected:
    void Expect(const BadCase& c) {
        QStringList args;
        for (const QString& a : c.args)
            args << QString(a).replace(QLatin1String("@IN@"), usable).replace(QLatin1String("@DIR@"), dir.path());
        const QStringList before = Files();
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << c.name << ": " << run.out.toStdString();
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("tesora-cli: "))) << c.name;
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 1) << c.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << c.name << ": " << run.err.toStdString();
        EXPECT_EQ(Files(), before) << c.name;
    }

    void SetUp() override {
        usable = Scene("usable.bmp", 40, 30);  // level 6
        Text("empty.bmp", QByteArray());
        Text("text.bmp", "Dies ist kein Bild, nur Text mit der Endung .bmp\n");
        QFile whole(usable);
        ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
        Text("truncated.bmp", whole.read(30));  // the header breaks off
        Grey("wide.bmp", 1026, 2, [](int x, int) { return x; });
        QDir(dir.path()).mkdir(QStringLiteral("folder.bmp"));
    }

    QString usable;
};

TEST_F(BadInputTest, UnusablePicturesExitWithOne) {
    const BadCase cases[] = {
        {"missing", {"compress", "@DIR@/nothing.bmp", "--level", "3"}, 1, "existiert nicht"},
        {"directory", {"compress", "@DIR@/folder.bmp", "--level", "3"}, 1, "Ordner"},
        {"empty", {"compress", "@DIR@/empty.bmp", "--level", "3"}, 1, "enthält kein Bild"},
        {"truncated", {"info", "@DIR@/truncated.bmp"}, 1, "beschädigt oder unvollständig"},
        {"text named .bmp", {"propose", "@DIR@/text.bmp"}, 1, "kein lesbares Bild"},
        {"width 1026", {"compress", "@DIR@/wide.bmp", "--level", "3"}, 1, "1026 Pixel breit"},
        {"sweep over a bad picture",
         {"sweep", "@IN@", "@DIR@/text.bmp", "--level", "3", "--epsilon", "1", "--csv", "@DIR@/out.csv"},
         1,
         "kein lesbares Bild"},
    };
    for (const BadCase& c : cases) Expect(c);
}

TEST_F(BadInputTest, WrongNumbersExitWithTwo) {
    const BadCase cases[] = {
        {"negative level", {"compress", "@IN@", "--level", "-3"}, 2, "--level"},
        {"level text", {"compress", "@IN@", "--level", "vier"}, 2, "--level"},
        {"level below 2", {"compress", "@IN@", "--level", "1"}, 2, "--level"},
        {"level above the picture's", {"compress", "@IN@", "--level", "7"}, 2, "über dem Level 6"},
        {"level missing", {"compress", "@IN@"}, 2, "--level fehlt"},
        {"negative position", {"compress", "@IN@", "--level", "3", "--position", "-1"}, 2, "--position"},
        {"position above 100", {"filters", "--position", "101"}, 2, "--position"},
        {"fractional position", {"filters", "--position", "2.5"}, 2, "--position"},
        {"delta above 1", {"compress", "@IN@", "--level", "3", "--delta", "1.5"}, 2, "--delta"},
        {"position and delta",
         {"compress", "@IN@", "--level", "3", "--position", "5", "--delta", "0.5"},
         2,
         "--position"},
        {"negative epsilon", {"compress", "@IN@", "--level", "3", "--epsilon", "-1"}, 2, "--epsilon"},
        {"epsilon text", {"compress", "@IN@", "--level", "3", "--epsilon", "fünf"}, 2, "--epsilon"},
        {"epsilon nan", {"compress", "@IN@", "--level", "3", "--epsilon", "nan"}, 2, "--epsilon"},
        {"schranke text", {"propose", "@IN@", "--schranke", "hoch"}, 2, "--schranke"},
        {"positions reversed",
         {"sweep", "@IN@", "--level", "3", "--epsilon", "1", "--positions", "50:10:5"},
         2,
         "--positions"},
        {"positions step 0",
         {"sweep", "@IN@", "--level", "3", "--epsilon", "1", "--positions", "0:10:0"},
         2,
         "--positions"},
        {"sweep without epsilon", {"sweep", "@IN@", "--level", "3"}, 2, "--epsilon fehlt"},
    };
    for (const BadCase& c : cases) Expect(c);
}

TEST_F(BadInputTest, WrongCommandLinesExitWithTwo) {
    const BadCase cases[] = {
        {"no command", {}, 2, "Befehl"},
        {"unknown command", {"shrink", "@IN@"}, 2, "Unbekannter Befehl \"shrink\""},
        {"unknown option", {"compress", "@IN@", "--level", "3", "--fast"}, 2, "Unbekannte Option \"--fast\""},
        {"value missing", {"compress", "@IN@", "--level"}, 2, "fehlt der Wert"},
        {"no picture", {"info"}, 2, "Es fehlt ein Bild"},
        {"two pictures for compress", {"compress", "@IN@", "@IN@", "--level", "3"}, 2, "Unerwartetes Argument"},
        {"output as JPEG", {"compress", "@IN@", "--level", "3", "--approximation", "@DIR@/a.jpg"}, 2, ".png"},
        {"plot as BMP", {"sweep", "@IN@", "--level", "3", "--epsilon", "1", "--plot", "@DIR@/p.bmp"}, 2, ".png"},
    };
    for (const BadCase& c : cases) Expect(c);
}

TEST_F(BadInputTest, UnwritableOutputsExitWithOneBeforeAnyWork) {
    const BadCase cases[] = {
        {"missing folder",
         {"compress", "@IN@", "--level", "3", "--reconstruction", "@DIR@/no/such/r.bmp"},
         1,
         "existiert nicht"},
        {"output is a folder", {"propose", "@IN@", "--difference", "@DIR@/folder.bmp"}, 1, "ist ein Ordner"},
        // The first output could be written, the last cannot: neither appears.
        {"one of three",
         {"compress", "@IN@", "--level", "3", "--epsilon", "2", "--approximation", "@DIR@/a.png", "--coefficients",
          "@DIR@/c.bmp", "--reconstruction", "@DIR@/no/r.bmp"},
         1,
         "existiert nicht"},
        {"csv folder missing",
         {"sweep", "@IN@", "--level", "3", "--epsilon", "1", "--csv", "@DIR@/no/s.csv"},
         1,
         "existiert nicht"},
    };
    for (const BadCase& c : cases) Expect(c);
}

TEST_F(BadInputTest, AnUnusablePictureLeavesRequestedOutputsUnwritten) {
    Expect({"outputs for a text file",
            {"compress", "@DIR@/text.bmp", "--level", "3", "--approximation", "@DIR@/a.bmp", "--reconstruction",
             "@DIR@/r.png"},
            1,
            "kein lesbares Bild"});
}

TEST_F(BadInputTest, OutputsThatWouldDestroyAnInputOrEachOtherExitWithTwo) {
    ASSERT_TRUE(QFile::link(usable, dir.filePath("link.bmp")));
    ASSERT_EQ(link(QFile::encodeName(usable).constData(), QFile::encodeName(dir.filePath("hard.bmp")).constData()), 0);
    QFile input(usable);
    ASSERT_TRUE(input.open(QIODevice::ReadOnly));
    const QByteArray original = input.readAll();
    const BadCase cases[] = {
        {"the input itself", {"compress", "@IN@", "--level", "3", "--approximation", "@IN@"}, 2, "überschreiben"},
        {"a symbolic link to it",
         {"compress", "@IN@", "--level", "3", "--reconstruction", "@DIR@/link.bmp"},
         2,
         "überschreiben"},
        {"a hard link to it",
         {"compress", "@IN@", "--level", "3", "--coefficients", "@DIR@/hard.bmp"},
         2,
         "überschreiben"},
        {"another spelling",
         {"compress", "@IN@", "--level", "3", "--epsilon", "1", "--approximation", "@DIR@/x.bmp", "--reconstruction",
          "@DIR@/./x.bmp"},
         2,
         "dieselbe Datei"},
        {"csv and plot",
         {"sweep", "@IN@", "--level", "3", "--epsilon", "1", "--csv", "@DIR@/s.png", "--plot", "@DIR@/s.png"},
         2,
         "dieselbe Datei"},
        {"csv over a picture",
         {"sweep", "@DIR@/hard.bmp", "@IN@", "--level", "3", "--epsilon", "1", "--csv", "@DIR@/link.bmp"},
         2,
         "überschreiben"},
        {"difference over the input", {"propose", "@IN@", "--difference", "@DIR@/link.bmp"}, 2, "überschreiben"},
    };
    for (const BadCase& c : cases) Expect(c);
    input.seek(0);
    EXPECT_EQ(input.readAll(), original);
}

TEST_F(BadInputTest, DeltaBelowTheUsableBoundExitsWithTwoInEveryCommand) {
    // The line names the bound; just below it is refused like 1e-16 or the smallest double.
    for (const char* delta : {"1e-16", "1e-100", "5e-324", "1.1107651257113993e-16"}) {
        Expect({delta, {"compress", "@IN@", "--level", "3", "--delta", delta}, 2, "1.1107651257113995e-16 bis 1"});
        Expect({delta, {"filters", "--delta", delta}, 2, "1.1107651257113995e-16 bis 1"});
    }
}

TEST_F(BadInputTest, RepeatedOptionsExitWithTwo) {
    const BadCase cases[] = {
        {"level twice", {"compress", "@IN@", "--level", "x", "--level", "3"}, 2, "\"--level\" ist mehrfach"},
        {"same value twice", {"filters", "--position", "3", "--position", "3"}, 2, "mehrfach"},
        {"flag twice", {"info", "@IN@", "--json", "--json"}, 2, "mehrfach"},
    };
    for (const BadCase& c : cases) Expect(c);
}

TEST_F(BadInputTest, FifosAndDevicesAreNoRegularFiles) {
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo.bmp")).constData(), 0600), 0);
    Expect({"fifo", {"info", "@DIR@/fifo.bmp"}, 1, "keine reguläre Datei"});
    Expect({"device", {"compress", "/dev/null", "--level", "3"}, 1, "keine reguläre Datei"});
}

// A .npy file of `count` float64 values `value` (5 x 5 unless told), with the header given.
QByteArray Npy(const QByteArray& header, double value = 0, int count = 25) {
    QByteArray dict = header;
    dict.append(QByteArray(static_cast<qsizetype>((64 - (10 + dict.size() + 1) % 64) % 64), ' ')).append('\n');
    QByteArray file("\x93NUMPY\x01\x00", 8);
    file.append(static_cast<char>(dict.size() & 0xFF)).append(static_cast<char>(dict.size() >> 8)).append(dict);
    for (int e = 0; e < count; ++e) file.append(reinterpret_cast<const char*>(&value), sizeof value);
    return file;
}

TEST_F(BadInputTest, MatricesTablesAndOptionsAreReadStrictlyAndNamedForWhatTheyAre) {
    Text("twice.npy", Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (5, 5), 'shape': (5, 5), }"));
    Text("split.npy", Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (5 5, 5), }"));
    Text("extra.npy", Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (5, 5), 'x': 1}"));
    Text("huge.npy", Npy("{'descr': '<f8', 'fortran_order': False, 'shape': (9, 9), }", 1e308, 81));
    Text("escape.csv", "picture,\x1b[31mrot\n\"a\",1\n");
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo.npy")).constData(), 0600), 0);
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath("fifo.png")).constData(), 0600), 0);
    const QStringList synthesise{"--level", "2", "--width", "5", "--height", "5", "--reconstruction", "@DIR@/r.png"};
    const BadCase cases[] = {
        {"a key twice", QStringList{"synthesise", "@DIR@/twice.npy"} + synthesise, 1, "shape steht zweimal"},
        {"a shape numpy refuses", QStringList{"synthesise", "@DIR@/split.npy"} + synthesise, 1, "Form ist unlesbar"},
        {"a key numpy refuses", QStringList{"synthesise", "@DIR@/extra.npy"} + synthesise, 1, "einen Eintrag außer"},
        {"an overflowing reconstruction",
         {"synthesise", "@DIR@/huge.npy", "--level", "2", "--width", "9", "--height", "9", "--reconstruction",
          "@DIR@/r.png"},
         1,
         "läuft über"},
        {"a FIFO as matrix", QStringList{"synthesise", "@DIR@/fifo.npy"} + synthesise, 1, "keine reguläre Datei"},
        {"standard input as matrix", QStringList{"synthesise", "-"} + synthesise, 2, "Standardeingabe"},
        {"no matrix", QStringList{"synthesise"} + synthesise, 2, "Es fehlt eine Matrixdatei"},
        {"no table", {"plot", "-o", "@DIR@/p.png"}, 2, "Es fehlt eine Tabelle"},
        {"control characters", {"plot", "@DIR@/escape.csv", "-o", "@DIR@/p.png"}, 2, "\\x1b[31mrot"},
        {"a page of 558 megapixels",
         {"plot", "@DIR@/escape.csv", "-o", "@DIR@/p.png", "--size", "2000x2000mm"},
         2,
         "höchstens 100 Megapixel"},
        {"a FIFO output without reader",
         {"compress", "@IN@", "--level", "3", "--epsilon", "1", "--approximation", "@DIR@/a.png", "--reconstruction",
          "@DIR@/fifo.png"},
         1,
         "FIFO ohne Leser"},
        {"more steps than levels",
         {"analyse", "@IN@", "--steps", "5", "--save", "@DIR@/c.npy"},
         2,
         "erlaubt höchstens 4 Schritte"},
        {"a value for a switch",
         {"sweep", "@IN@", "--level", "3", "--epsilon", "1", "--progress=yes"},
         2,
         "\"--progress\" nimmt keinen Wert"},
        {"rows beyond every table",
         QStringList{"sweep"} + QStringList(10, QStringLiteral("@IN@")) +
             QStringList{"--epsilons", "0:10000:1", "--positions", "0:100:1", "--level", "3"},
         2, "höchstens 10000000"},
    };
    for (const BadCase& c : cases) Expect(c);
}

}  // namespace
}  // namespace tesora::testing
