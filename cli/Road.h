#pragma once
// The road of one picture through the program, run on an in-memory frontend with the
// handlers of the windows: open, Delta scroll bar, track bar, "Reduce", "Fehler?",
// "Calc Delta". Each road starts from the state of a freshly started program.
#include <QImage>
#include <QString>
#include <map>
#include <string>
#include <vector>

#include "blac/Start.h"
#include "tools/MemoryFrontend.h"

namespace tesora::cli {

// Every run and every road starts from a freshly started program.
using tesora::StartProgram;

// Wraps a surface's words as an image (no copy: valid while the surface is unchanged).
QImage SurfaceImage(const MemorySurface& surface);
// Copies an RGB32 image's rows into the surface, resizing it.
void CopyToSurface(const QImage& image, MemorySurface& surface);

// The file read and checked as "Öffnen" reads it (report::LoadUsable), or for "-" the
// bytes of standard input with the same checks.
QImage LoadUsable(const QString& path, bool fit = false);

class Road {
public:
    // Resets the program state, then opens the file as the window's "Öffnen" does.
    // Throws tesora::Error when the file is no usable picture (also wider than 1025).
    explicit Road(const QString& path, bool fit = false);
    // The same with the file's picture already read by LoadUsable: a run that opens one
    // file many times reads it once.
    Road(const QString& path, const QImage& opened, bool fit = false);
    Road(const Road&) = delete;  // the frontend's reload may point back here
    Road& operator=(const Road&) = delete;

    // The Delta scroll bar moved to `position`.
    void SetDeltaPosition(int position) { frontend_.SetDeltaPosition(position); }
    // A Delta that no scroll position gives: set and the filters rebuilt for it.
    void SetRawDelta(double delta);
    // The track bar moved to `level`.
    void MoveTrackBar(int level);
    // The combo boxes' texts.
    void SetEpsilonText(const QString& text);
    void SetSchrankeText(const QString& text);
    // The buttons; Reduce returns the count it shows as a share.
    int PressReduce();
    double PressFehler();
    void PressCalcDelta();

    // What "Reduce" and the way back up read after the track bar went down: the main
    // picture, the labels and enabled states, the matrix block in use and the level. The
    // reduced-picture window is left out: the way up repaints all of it and "Fehler?"
    // reloads it. Restoring a snapshot puts the road back, so one decomposition serves
    // several reductions.
    struct Snapshot {
        MemorySurface bild;
        std::map<Label, std::string> labels;
        std::map<Control, bool> enabled;
        std::vector<double> coefficients;
        int currentLevel;
        int trackPosition;
    };
    Snapshot Take() const;
    // "Fehler?" compares with the picture as opened instead of reading the file again:
    // for a run of several reductions, which would read the same bytes each time.
    void CompareWithOpenedPicture();
    void Restore(const Snapshot& snapshot);

    MemoryFrontend& Frontend() { return frontend_; }
    const QString& Path() const { return path_; }
    QImage MainPicture() const { return SurfaceImage(frontend_.bild); }
    QImage ReducedPicture() const { return SurfaceImage(frontend_.reduced); }

private:
    MemoryFrontend frontend_;
    QString path_;
    QImage original_;  // as opened: several reductions compare with it
};

}  // namespace tesora::cli
