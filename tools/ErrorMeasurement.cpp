// "Fehler?" in the window: the value road's picture comparison between the main picture
// and the file reloaded into the reduced picture.
#include "tools/ErrorMeasurement.h"

#include "blac/State.h"
#include "matrix/Numbers.h"
#include "tools/Analysis.h"

namespace tesora {

double MeasureError(Frontend& frontend) {
    frontend.ReloadOriginal();
    frontend.SetStatus("Berechne Fehler...");
    frontend.SetReducedStatus("Originalbild");
    const double error = analysis::MeanRedDifference(frontend.Bild(), frontend.Reduced(), PictureWidth, PictureHeight);
    const std::string text = FormatG(error);
    frontend.SetStatus("Fertig!");
    frontend.SetLabel(Label::Fehler, text);
    return error;
}

}  // namespace tesora
