#pragma once
// The road of one picture through the program, run on an in-memory frontend with the
// handlers of the windows: open, Delta scroll bar, track bar, "Reduce", "Fehler?",
// "Calc Delta". Each road starts from the state of a freshly started program.
#include <QImage>
#include <QString>

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
    Road(const Road&) = delete;  // the frontend's reload may point back here
    Road& operator=(const Road&) = delete;

    // The Delta scroll bar moved to `position`.
    void SetDeltaPosition(int position) { frontend_.SetDeltaPosition(position); }
    // The Schranke combo box's text.
    void SetSchrankeText(const QString& text);
    // "Calc Delta".
    void PressCalcDelta();

    MemoryFrontend& Frontend() { return frontend_; }
    QImage ReducedPicture() const { return SurfaceImage(frontend_.reduced); }

private:
    MemoryFrontend frontend_;
};

}  // namespace tesora::cli
