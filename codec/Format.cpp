#include "codec/Format.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "blac/Bank.h"
#include "matrix/Error.h"
#include "tools/Analysis.h"

namespace tesora::codec {

namespace {

constexpr std::uint8_t kMagic[8] = {0x89, 'T', 'S', 'R', 0x0D, 0x0A, 0x1A, 0x0A};
// The pictures the program opens: at most kMaxSide wide and 4096 rows of that width.
constexpr std::int64_t kMaxPixels = std::int64_t{kMaxSide} * 4096;
constexpr int kMaxSteps = 16;

// Offsets of the header's fields (little-endian throughout).
enum : std::size_t {
    kAtVersion = 8,
    kAtPlanes = 10,
    kAtBasis = 11,
    kAtWidth = 12,
    kAtHeight = 16,
    kAtLevel = 20,
    kAtSteps = 21,
    kAtRule = 22,
    kAtSynthesis = 23,
    kAtPadding = 24,
    kAtReserved = 25,
    kAtDelta = 32,
    kAtStep = 40,
    kAtDecisions = 48,
    kAtLength = 56
};

void Put(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint64_t Get(const std::uint8_t* in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | in[at + static_cast<std::size_t>(i)];
    return value;
}

std::uint64_t BitsOf(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double DoubleOf(std::uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// What every header must hold, for writing and reading alike; the message names the field.
void Check(const Header& h) {
    auto refuse = [](const std::string& what, const std::string& english) {
        throw Error("Die Datei ist ungültig: " + what + ".", "The file is invalid: " + english + ".");
    };
    if (h.width < 1 || h.width > kMaxSide)
        refuse("die Breite liegt außerhalb von 1 bis " + std::to_string(kMaxSide),
               "the width lies outside 1 ... " + std::to_string(kMaxSide));
    if (h.height < 1 || std::int64_t{h.width} * h.height > kMaxPixels)
        refuse("die Höhe passt nicht zu den Grenzen", "the height does not fit the bounds");
    if (h.pictureLevel != PictureLevelFor(h.width))
        refuse("der Level passt nicht zur Breite", "the level does not fit the width");
    if (h.steps < 0 || h.steps > kMaxSteps)
        refuse("die Zahl der Stufen ist ungültig", "the number of steps is invalid");
    if (static_cast<int>(h.basis) > 3) refuse("die Basis ist unbekannt", "the basis is unknown");
    if (static_cast<int>(h.rule) > 2) refuse("die Regel ist unbekannt", "the rule is unknown");
    if (static_cast<int>(h.synthesis) > 1) refuse("die Synthese ist unbekannt", "the synthesis is unknown");
    if (static_cast<int>(h.padding) > 1) refuse("die Auffüllung ist unbekannt", "the padding is unknown");
    if (h.planes != 1 && h.planes != 3)
        refuse("die Zahl der Ebenen ist weder 1 noch 3", "the number of planes is neither 1 nor 3");
    if (h.steps > h.pictureLevel - 2)
        refuse("die Zahl der Stufen ist zu groß für das Bild", "the number of steps is too large for the picture");
    // The working square holds the rows it transforms, no more (every basis works in it).
    if (h.height > (1 << h.pictureLevel) + 1)
        refuse("das Bild ist höher als sein Quadrat", "the picture is taller than its square");
    if (h.basis == Basis::Blac) {
        if (!(h.delta >= 0.0 && h.delta <= 1.0))
            refuse("Delta liegt außerhalb von 0 bis 1", "Delta lies outside 0 ... 1");
    } else if (BitsOf(h.delta) != 0 || h.synthesis != Synthesis::Specified || h.padding != Padding::Zero) {
        refuse("Delta, Synthese und Auffüllung gehören nur zur BLaC-Basis",
               "Delta, synthesis and padding belong to the BLaC basis only");
    }
    if (!(std::isfinite(h.step) && h.step > 0.0))
        refuse("die Quantisierungsstufe ist nicht positiv", "the quantiser step is not positive");
}

}  // namespace

const char* BasisName(Basis basis) {
    static const char* const kNames[] = {"blac", "haar", "cdf53", "cdf97"};
    return kNames[static_cast<int>(basis) & 3];
}

const char* RuleName(RuleCode rule) {
    static const char* const kNames[] = {"flat", "norm", "levels"};
    return kNames[std::min(static_cast<int>(rule), 2)];
}

const char* SynthesisName(Synthesis synthesis) { return synthesis == Synthesis::Exact ? "exact" : "specified"; }

bool StartsAsFile(const std::uint8_t* bytes, std::size_t size) {
    return size >= sizeof kMagic && std::memcmp(bytes, kMagic, sizeof kMagic) == 0;
}

int PictureLevelFor(int width) { return analysis::PictureLevelOf(width); }

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes the length as uInt: long inputs go in pieces.
    while (size > 0) {
        const std::size_t piece = std::min<std::size_t>(size, std::numeric_limits<uInt>::max());
        crc = crc32(crc, bytes, static_cast<uInt>(piece));
        bytes += piece;
        size -= piece;
    }
    return static_cast<std::uint32_t>(crc);
}

std::vector<std::uint8_t> WriteFile(const File& file) {
    const Header& h = file.header;
    Check(h);
    if (file.data.size() > std::numeric_limits<std::uint32_t>::max())
        throw Error("Die Daten sind zu lang für die Datei.", "The data are too long for the file.");
    std::vector<std::uint8_t> out(kHeaderBytes + file.data.size() + kCrcBytes, 0);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    Put(out, kAtVersion, kFormatVersion, 2);
    Put(out, kAtPlanes, static_cast<std::uint64_t>(h.planes), 1);
    Put(out, kAtBasis, static_cast<std::uint64_t>(h.basis), 1);
    Put(out, kAtWidth, static_cast<std::uint64_t>(h.width), 4);
    Put(out, kAtHeight, static_cast<std::uint64_t>(h.height), 4);
    Put(out, kAtLevel, static_cast<std::uint64_t>(h.pictureLevel), 1);
    Put(out, kAtSteps, static_cast<std::uint64_t>(h.steps), 1);
    Put(out, kAtRule, static_cast<std::uint64_t>(h.rule), 1);
    Put(out, kAtSynthesis, static_cast<std::uint64_t>(h.synthesis), 1);
    Put(out, kAtPadding, static_cast<std::uint64_t>(h.padding), 1);
    Put(out, kAtDelta, BitsOf(h.delta), 8);
    Put(out, kAtStep, BitsOf(h.step), 8);
    Put(out, kAtDecisions, h.decisions, 8);
    Put(out, kAtLength, file.data.size(), 4);
    if (!file.data.empty()) std::memcpy(out.data() + kHeaderBytes, file.data.data(), file.data.size());
    Put(out, kHeaderBytes + file.data.size(), Crc32(out.data(), kHeaderBytes + file.data.size()), 4);
    return out;
}

File ReadFile(const std::uint8_t* bytes, std::size_t size) {
    if (!StartsAsFile(bytes, size))
        throw Error("Keine Tesora-Datei: die Kennung am Anfang fehlt.",
                    "Not a Tesora file: the mark at its start is missing.");
    if (size < kHeaderBytes + kCrcBytes)
        throw Error("Die Datei ist abgeschnitten: der Kopf ist unvollständig.",
                    "The file is cut off: its header is incomplete.");
    const auto version = static_cast<unsigned>(Get(bytes, kAtVersion, 2));
    if (version != kFormatVersion)
        throw Error("Unbekannte Formatversion " + std::to_string(version) + " (gelesen wird Version " +
                        std::to_string(kFormatVersion) + ").",
                    "Unknown format version " + std::to_string(version) + " (version " +
                        std::to_string(kFormatVersion) + " is read).");
    const std::uint64_t length = Get(bytes, kAtLength, 4);
    if (length > size - kHeaderBytes - kCrcBytes)
        throw Error("Die Datei ist abgeschnitten: es fehlen Daten.", "The file is cut off: data are missing.");
    if (length < size - kHeaderBytes - kCrcBytes)
        throw Error("Die Datei ist beschädigt: hinter den Daten steht mehr.",
                    "The file is damaged: more follows its data.");
    const std::size_t covered = kHeaderBytes + static_cast<std::size_t>(length);
    if (Crc32(bytes, covered) != static_cast<std::uint32_t>(Get(bytes, covered, 4)))
        throw Error("Die Datei ist beschädigt: die Prüfsumme stimmt nicht.",
                    "The file is damaged: its checksum does not match.");

    File file;
    Header& h = file.header;
    h.planes = static_cast<int>(bytes[kAtPlanes]);
    h.basis = static_cast<Basis>(bytes[kAtBasis]);
    h.width = static_cast<int>(std::min<std::uint64_t>(Get(bytes, kAtWidth, 4), 1u << 30));
    h.height = static_cast<int>(std::min<std::uint64_t>(Get(bytes, kAtHeight, 4), 1u << 30));
    h.pictureLevel = bytes[kAtLevel];
    h.steps = bytes[kAtSteps];
    h.rule = static_cast<RuleCode>(bytes[kAtRule]);
    h.synthesis = static_cast<Synthesis>(bytes[kAtSynthesis]);
    h.padding = static_cast<Padding>(bytes[kAtPadding]);
    h.delta = DoubleOf(Get(bytes, kAtDelta, 8));
    h.step = DoubleOf(Get(bytes, kAtStep, 8));
    h.decisions = Get(bytes, kAtDecisions, 8);
    for (std::size_t i = kAtReserved; i < kAtDelta; ++i)
        if (bytes[i] != 0)
            throw Error("Die Datei ist ungültig: reservierte Bytes sind nicht 0.",
                        "The file is invalid: reserved bytes are not 0.");
    Check(h);
    file.data.assign(bytes + kHeaderBytes, bytes + covered);
    return file;
}

}  // namespace tesora::codec
