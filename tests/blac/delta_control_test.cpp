#include <gtest/gtest.h>

#include <map>

#include "blac/Bank.h"
#include "blac/Coefficients.h"
#include "blac/DeltaControl.h"
#include "blac/Start.h"
#include "blac/State.h"

using namespace tesora;

namespace {
class RecordingFrontend : public Frontend {
public:
    PictureSurface& Bild() override { return bild; }
    PictureSurface& Reduced() override { return reduced; }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetReducedStatus(const std::string&) override {}
    void SetLabel(Label label, const std::string& text) override { labels[label] = text; }
    void SetEnabled(Control, bool) override {}
    void SetDeltaPosition(int) override {}
    void SetLevelRange(int) override {}
    void ReloadOriginal() override {}

    MemorySurface bild, reduced;
    std::vector<std::string> statuses;
    std::map<Label, std::string> labels;
};
}  // namespace

TEST(DeltaControl, PositionChangeShowsDeltaAndRebuilds) {
    StartProgram();
    RecordingFrontend fe;

    DeltaPositionChanged(fe, 25);
    EXPECT_EQ(Delta, 0.25);
    EXPECT_EQ(fe.labels[Label::Delta], "Delta: 0.25");
    EXPECT_EQ(fe.labels[Label::Level], "Level: 8");
    EXPECT_EQ(fe.statuses, (std::vector<std::string>{"Berechne Matrizen neu...", "Fertig!"}));
    EXPECT_DOUBLE_EQ(OneMinusHalfDelta, 0.875);
    EXPECT_NE(WaveletLeft[0], 0.0);

    DeltaPositionChanged(fe, 61);
    EXPECT_EQ(fe.labels[Label::Delta], "Delta: 0.61");

    DeltaPositionChanged(fe, 0);
    EXPECT_EQ(fe.labels[Label::Delta], "Delta: 0");
    EXPECT_EQ(WaveletInner[3], -0.704449);
}
