#include "app/ToolTips.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include <string>

#include "app/TesoraSO.h"
#include "blac/Bank.h"

namespace tesora {

void SetToolTips(TfrmTesora& form) {
    const auto tip = [](QWidget* control, const char* text) { control->setToolTip(QString::fromUtf8(text)); };
    tip(form.imgBild,
        "Das Bild oder seine Koeffizienten: oben links die Glättekoeffizienten des gewählten Levels, "
        "rechts und unten die Details, rot die von Reduce auf 0 gesetzten.");
    tip(form.trbLevel,
        "Nach links zerlegt das Bild Level für Level in Glättekoeffizienten und Details, nach rechts "
        "setzt es wieder zusammen; Level L heißt 2^L + 1 Werte je Zeile.");
    tip(form.labLevel, "Das Level, auf das das Bild gerade zerlegt ist.");
    tip(form.scrDelta,
        "Stellt Delta in Schritten von 0.01 ein: 0 ist die Box-Funktion, 1 die Hut-Funktion; "
        "es wirkt ab dem nächsten Levelwechsel.");
    tip(form.labDelta, "Der Parameter Delta der BLaC-Wavelets zwischen 0 und 1.");
    tip(form.butKompress, "Setzt alle Details, deren Betrag kleiner als Epsilon ist, auf 0 und markiert sie rot.");
    tip(form.labProzent, "Anteil der auf 0 gesetzten Koeffizienten an allen Koeffizienten in Prozent.");
    tip(form.cmbEpsilon, "Details, deren Betrag kleiner ist, werden bei Reduce auf 0 gesetzt.");
    tip(form.butCalcDelta,
        "Berechnet das Differenzenbild, zeigt es im zweiten Fenster und stellt das daraus "
        "vorgeschlagene Delta ein.");
    tip(form.labDeltaVorgeschlagen,
        "Das vorgeschlagene Delta: der Anteil der schwachen Differenzen (unter der Schranke) an "
        "der Summe aller Differenzen.");
    tip(form.cmbSchranke,
        "Differenzen unter dieser Schranke gelten bei Calc Delta als schwach; je höher sie ist, "
        "desto größer wird der Vorschlag.");
    tip(form.butFehler,
        "Vergleicht das wieder zusammengesetzte Bild mit der Datei auf der Platte; nur auf dem "
        "Level des Bildes möglich.");
    tip(form.labFehler, "Mittlerer Betrag der Differenz der Grauwerte (0 bis 255) je Pixel.");
    tip(form.butAbout, "Zeigt das Info-Fenster über das Programm.");
    tip(form.labDateiName, "Die Datei des geladenen Bildes.");
    const std::string open =
        "Öffnet ein Bild (höchstens " + std::to_string(kMaxSide) + " Pixel breit) und zeigt es in beiden Fenstern.";
    tip(form.butBmpOpen, open.c_str());
    tip(form.butBMPSave, "Speichert das Bild des Fensters \u201EReduziertes Bild\u201C als BMP-Datei.");
    tip(form.butEnde, "Beendet das Programm sofort.");
}

}  // namespace tesora
