#include "app/ToolTips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include <string>
#include <utility>

#include "app/TesoraSO.h"
#include "blac/Bank.h"

namespace tesora {

void SetToolTips(TfrmTesora& form) {
    // One tip per control, in the order of the window.
    const std::pair<QWidget*, const char*> tips[] = {
        {form.imgBild,
         "Das Bild oder seine Koeffizienten: oben links die Glättekoeffizienten des gewählten Levels, "
         "rechts und unten die Details, rot die von Reduce auf 0 gesetzten."},
        {form.trbLevel,
         "Nach links zerlegt das Bild Level für Level in Glättekoeffizienten und Details, nach rechts "
         "setzt es wieder zusammen; Level L heißt 2^L + 1 Werte je Zeile."},
        {form.labLevel, "Das Level, auf das das Bild gerade zerlegt ist."},
        {form.scrDelta,
         "Stellt Delta in Schritten von 0.01 ein: 0 ist die Box-Funktion, 1 die Hut-Funktion; "
         "es wirkt ab dem nächsten Levelwechsel."},
        {form.labDelta, "Der Parameter Delta der BLaC-Wavelets zwischen 0 und 1."},
        {form.butKompress, "Setzt alle Details, deren Betrag kleiner als Epsilon ist, auf 0 und markiert sie rot."},
        {form.labProzent, "Anteil der auf 0 gesetzten Koeffizienten an allen Koeffizienten in Prozent."},
        {form.cmbEpsilon, "Details, deren Betrag kleiner ist, werden bei Reduce auf 0 gesetzt."},
        {form.butCalcDelta,
         "Berechnet das Differenzenbild, zeigt es im zweiten Fenster und stellt das daraus "
         "vorgeschlagene Delta ein."},
        {form.labDeltaVorgeschlagen,
         "Das vorgeschlagene Delta: der Anteil der schwachen Differenzen (unter der Schranke) an "
         "der Summe aller Differenzen."},
        {form.cmbSchranke,
         "Differenzen unter dieser Schranke gelten bei Calc Delta als schwach; je höher sie ist, "
         "desto größer wird der Vorschlag."},
        {form.butFehler,
         "Vergleicht das wieder zusammengesetzte Bild mit der Datei auf der Platte; nur auf dem "
         "Level des Bildes möglich."},
        {form.labFehler, "Mittlerer Betrag der Differenz der Grauwerte (0 bis 255) je Pixel."},
        {form.butAbout, "Zeigt das Info-Fenster über das Programm."},
        {form.labDateiName, "Die Datei des geladenen Bildes."},
        {form.butBMPSave, "Speichert das Bild des Fensters \u201EReduziertes Bild\u201C als BMP-Datei."},
        {form.butEnde, "Beendet das Programm sofort."},
    };
    for (const auto& [control, text] : tips) control->setToolTip(QString::fromUtf8(text));
    const std::string open =
        "Öffnet ein Bild (höchstens " + std::to_string(kMaxSide) + " Pixel breit) und zeigt es in beiden Fenstern.";
    form.butBmpOpen->setToolTip(QString::fromStdString(open));
}

}  // namespace tesora
