#pragma once
// The compressed file: a fixed header, the coder's stream and a CRC-32 of both
// (docs/format.md). Reading is strict: a foreign, cut-off, damaged or unknown file is
// refused with one sentence before anything of its content is used, and every size is
// checked against the file's own length and the program's limits before memory is taken.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tesora::codec {

// 2: only the coefficients a decoder needs are written; 3: the cleanup pass skips quiet
// blocks, and grey pictures decode rounded to the nearest grey value.
constexpr std::uint16_t kFormatVersion = 3;
constexpr std::size_t kHeaderBytes = 60;
constexpr std::size_t kCrcBytes = 4;

enum class Basis : std::uint8_t { Blac = 0, Haar = 1, Cdf53 = 2, Cdf97 = 3 };
enum class RuleCode : std::uint8_t { Flat = 0, Norm = 1, Levels = 2 };
enum class Synthesis : std::uint8_t { Specified = 0, Exact = 1 };
enum class Padding : std::uint8_t { Zero = 0, Mirror = 1 };

// The names the command line and the module use: "blac", "haar", "cdf53", "cdf97";
// "flat", "norm", "levels"; "specified", "exact".
const char* BasisName(Basis basis);
const char* RuleName(RuleCode rule);
const char* SynthesisName(Synthesis synthesis);

struct Header {
    int width = 0;
    int height = 0;
    int pictureLevel = 0;  // the smallest L >= 1 with 2^L + 1 >= width
    int steps = 0;         // decomposition steps below the picture's level
    Basis basis = Basis::Blac;
    RuleCode rule = RuleCode::Flat;
    Synthesis synthesis = Synthesis::Specified;
    Padding padding = Padding::Zero;
    int planes = 1;      // 1: grey (the red channel), 3: Y, Cb, Cr
    double delta = 0.0;  // BLaC's Delta, bit for bit; 0 for the other bases
    double step = 1.0;   // the quantiser step Q
    std::uint64_t decisions = 0;
};

struct File {
    Header header;
    std::vector<std::uint8_t> data;  // the coder's stream
};

// The file's bytes. Throws Error for a header the reader would refuse.
std::vector<std::uint8_t> WriteFile(const File& file);

// The header and stream of a file's bytes. Throws Error with one sentence for anything
// else than a file WriteFile can make.
File ReadFile(const std::uint8_t* bytes, std::size_t size);

// Whether the bytes begin as a compressed file does (so a reader can tell it from a picture).
bool StartsAsFile(const std::uint8_t* bytes, std::size_t size);

// The level of a picture `width` wide, as the header carries it.
int PictureLevelFor(int width);

// zlib's CRC-32.
std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size);

}  // namespace tesora::codec
