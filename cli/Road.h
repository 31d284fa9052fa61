#pragma once
// The road of one picture through the program, run on an in-memory frontend with the
// handlers of the windows: open, Delta scroll bar, track bar, "Reduce", "Fehler?",
// "Calc Delta". Each road starts from the state of a freshly started program.
#include <QImage>
#include <QString>

#include "tools/MemoryFrontend.h"

namespace tesora::cli {

// Wraps a surface's words as an image (no copy: valid while the surface is unchanged).
QImage SurfaceImage(const MemorySurface& surface);
// Copies an RGB32 image's rows into the surface, resizing it.
void CopyToSurface(const QImage& image, MemorySurface& surface);

class Road {
public:
    // Resets the program state, then opens the file as the window's "Öffnen" does.
    // Throws tesora::Error when the file is no usable picture (also wider than 1025).
    explicit Road(const QString& path);

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

    MemoryFrontend& Frontend() { return frontend_; }
    const QString& Path() const { return path_; }
    QImage MainPicture() const { return SurfaceImage(frontend_.bild); }
    QImage ReducedPicture() const { return SurfaceImage(frontend_.reduced); }

private:
    MemoryFrontend frontend_;
    QString path_;
    int trackPosition_ = 8;  // the track bar's design-time position
};

// What a freshly started program holds: the initial state values, the tables and the
// filters for Delta 0 (opening a picture rewrites the whole working matrix). Every run
// and every road starts here, so runs in one process do not see each other.
void StartProgram();

}  // namespace tesora::cli
