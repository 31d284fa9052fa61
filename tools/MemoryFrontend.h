#pragma once
// A Frontend kept entirely in memory: the command-line tool runs the program's road
// on it, and the tests use it to watch what the handlers show.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "blac/DeltaControl.h"
#include "blac/Frontend.h"
#include "matrix/Error.h"
#include "mra/LevelChange.h"

namespace tesora {

class MemoryFrontend : public Frontend {
public:
    PictureSurface& Bild() override { return bild; }
    PictureSurface& Reduced() override { return reduced; }

    void SetStatus(const std::string& text) override {
        status = text;
        statusHistory.push_back(text);
    }
    void SetReducedStatus(const std::string& text) override {
        reducedStatus = text;
        reducedStatusHistory.push_back(text);
    }
    void SetLabel(Label label, const std::string& text) override { labels[label] = text; }
    void SetEnabled(Control control, bool on) override { enabled[control] = on; }

    // Behaves like the scroll bar: the change handler runs only on a real change.
    void SetDeltaPosition(int position) override {
        if (position == deltaPosition) return;
        deltaPosition = position;
        DeltaPositionChanged(*this, position);
    }

    // Behaves like the track bar: range 2 ... finest, the handler only on a move.
    void SetLevelRange(int finest) override {
        if (finest >= 2)
            MoveTrackBar(finest);
        else
            trackPosition = 2;
    }
    void MoveTrackBar(int level) {
        if (level == trackPosition) return;
        trackPosition = level;
        LevelChange(*this, level);
    }

    void ReloadOriginal() override {
        if (!reloadOriginal) throw Error("Kein Bild geladen!", "No picture loaded.");
        reloadOriginal(reduced);
    }

    bool ReducedWatched() const override { return reducedWatched; }

    std::string Text(Label label) const {
        const auto it = labels.find(label);
        return it == labels.end() ? std::string() : it->second;
    }
    bool IsEnabled(Control control) const {
        const auto it = enabled.find(control);
        return it != enabled.end() && it->second;
    }

    MemorySurface bild;
    MemorySurface reduced;
    std::string status;
    std::string reducedStatus;
    std::vector<std::string> statusHistory;
    std::vector<std::string> reducedStatusHistory;
    std::map<Label, std::string> labels;
    std::map<Control, bool> enabled;
    int deltaPosition = 0;
    int trackPosition = 8;  // the track bar's design-time position
    bool reducedWatched = true;
    // Supplies the picture for ReloadOriginal; throws Error when it cannot.
    std::function<void(MemorySurface&)> reloadOriginal;
};

}  // namespace tesora
