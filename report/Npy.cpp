// .npy: "\x93NUMPY", major, minor, header length (2 bytes in 1.0, 4 in 2.0 and 3.0),
// then a Python dict literal {'descr': ..., 'fortran_order': ..., 'shape': (...), }
// ended by '\n', then the elements.
#include "report/Npy.h"

#include <bit>
#include <cstring>
#include <limits>
#include <vector>

#include "matrix/Error.h"

namespace tesora::npy {

static_assert(std::endian::native == std::endian::little, "the .npy files are written little-endian");

namespace {

const char kMagic[] = "\x93NUMPY";
constexpr std::size_t kMagicLength = 6;
constexpr std::size_t kAlign = 64;

[[noreturn]] void Damaged(const std::string& name, const std::string& why, const std::string& english) {
    throw Error("Die Datei \"" + name + "\" ist keine lesbare .npy-Datei: " + why + ".",
                "The file \"" + name + "\" is no readable .npy file: " + english + ".");
}

// The header as numpy reads it: a Python dict literal with exactly the keys descr,
// fortran_order and shape, once each; descr a string, fortran_order True or False, shape
// a tuple of whole numbers. Anything else is refused rather than guessed at.
class HeaderReader {
public:
    HeaderReader(const std::string& text, bool longSuffix, const std::string& name)
        : text_(text), longSuffix_(longSuffix), name_(name) {}

    struct Header {
        std::string descr;
        bool fortran = false;
        std::vector<long long> shape;
    };

    Header Read() {
        Header header;
        bool seen[3] = {false, false, false};
        Expect('{');
        while (!Take('}')) {
            const std::string key = String();
            Expect(':');
            const int k = key == "descr" ? 0 : key == "fortran_order" ? 1 : key == "shape" ? 2 : -1;
            if (k < 0)
                Damaged(name_, "der Kopf hat einen Eintrag außer descr, fortran_order und shape",
                        "the header has an entry besides descr, fortran_order and shape");
            if (seen[k])
                Damaged(name_, "der Eintrag " + key + " steht zweimal im Kopf",
                        "the entry " + key + " stands twice in the header");
            seen[k] = true;
            if (k == 0) header.descr = String();
            if (k == 1) header.fortran = Bool();
            if (k == 2) header.shape = Tuple();
            if (!Take(',')) {
                Expect('}');
                break;
            }
        }
        Space();
        if (at_ != text_.size())
            Damaged(name_, "nach dem Eintrag des Kopfes folgt noch Text", "text follows the header's entries");
        for (int k = 0; k < 3; ++k)
            if (!seen[k])
                Damaged(name_, std::string("der Eintrag ") + kKeys[k] + " fehlt",
                        std::string("the entry ") + kKeys[k] + " is missing");
        return header;
    }

private:
    static constexpr const char* kKeys[3] = {"descr", "fortran_order", "shape"};

    void Space() {
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
        while (at_ < text_.size() && blank(text_[at_])) ++at_;
    }
    bool Take(char c) {
        Space();
        if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
        return false;
    }
    void Expect(char c) {
        if (!Take(c))
            Damaged(name_, std::string("der Kopf ist kein Python-Wörterbuch (erwartet '") + c + "')",
                    std::string("the header is no Python dict (expected '") + c + "')");
    }
    std::string String() {
        Space();
        const char quote = at_ < text_.size() ? text_[at_] : '\0';
        if (quote != '\'' && quote != '"')
            Damaged(name_, "der Kopf ist kein Python-Wörterbuch (erwartet Text)",
                    "the header is no Python dict (expected a string)");
        const std::size_t end = text_.find(quote, at_ + 1);
        if (end == std::string::npos)
            Damaged(name_, "ein Text im Kopf ist nicht abgeschlossen", "a string in the header is not closed");
        std::string value = text_.substr(at_ + 1, end - at_ - 1);
        // Escapes and line breaks never occur in the three entries; they are refused, not interpreted.
        if (value.find_first_of("\\\n\r") != std::string::npos)
            Damaged(name_, "ein Text im Kopf ist unlesbar", "a string in the header is unreadable");
        at_ = end + 1;
        return value;
    }
    bool Bool() {
        Space();
        for (const char* word : {"True", "False"})
            if (text_.compare(at_, std::strlen(word), word) == 0) {
                at_ += std::strlen(word);
                return word[0] == 'T';
            }
        Damaged(name_, "fortran_order ist weder True noch False", "fortran_order is neither True nor False");
    }
    long long Whole() {
        Space();
        const std::size_t first = at_;
        long long value = 0;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
            value = value * 10 + (text_[at_++] - '0');
            if (value > std::numeric_limits<int>::max())
                Damaged(name_, "die Form ist zu groß", "the shape is too large");
        }
        // Python refuses leading zeros ("07"); files of versions 1 and 2 may carry 2L.
        if (at_ == first || (text_[first] == '0' && at_ - first > 1))
            Damaged(name_, "die Form ist unlesbar", "the shape is unreadable");
        if (longSuffix_ && at_ < text_.size() && text_[at_] == 'L') ++at_;
        return value;
    }
    std::vector<long long> Tuple() {
        Expect('(');
        std::vector<long long> parts;
        if (Take(')')) return parts;
        for (;;) {
            parts.push_back(Whole());
            if (Take(')')) break;
            if (!Take(',')) Damaged(name_, "die Form ist unlesbar", "the shape is unreadable");
            if (Take(')')) break;  // a trailing comma, as in (5,)
            if (parts.size() >= 3)
                Damaged(name_, "die Form ist nicht zweidimensional", "the shape is not two-dimensional");
        }
        return parts;
    }

    const std::string& text_;
    bool longSuffix_;
    const std::string& name_;
    std::size_t at_ = 0;
};

// Never longer, as numpy refuses longer ones too.
constexpr std::size_t kMaxHeader = 10000;

}  // namespace

std::string Encode(const std::string& descr, int rows, int cols, const void* data, std::size_t bytes) {
    std::string header = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (" + std::to_string(rows) + ", " +
                         std::to_string(cols) + "), }";
    // Magic, version, length, header and its '\n' end on a multiple of 64 bytes.
    const std::size_t used = kMagicLength + 2 + 2 + header.size() + 1;
    header.append((kAlign - used % kAlign) % kAlign, ' ');
    header += '\n';
    std::string file(kMagic, kMagicLength);
    file += '\x01';
    file += '\x00';
    file += static_cast<char>(header.size() & 0xFF);
    file += static_cast<char>((header.size() >> 8) & 0xFF);
    file += header;
    file.append(static_cast<const char*>(data), bytes);
    return file;
}

std::string EncodeDoubles(const std::vector<double>& values, int rows, int cols) {
    return Encode("<f8", rows, cols, values.data(), values.size() * sizeof(double));
}

std::string EncodeInts(const std::vector<std::int32_t>& values, int rows, int cols) {
    return Encode("<i4", rows, cols, values.data(), values.size() * sizeof(std::int32_t));
}

std::string EncodeBools(const std::vector<std::uint8_t>& values, int rows, int cols) {
    return Encode("|b1", rows, cols, values.data(), values.size());
}

Doubles DecodeDoubles(const std::string& bytes, const std::string& name) {
    if (bytes.size() < kMagicLength + 4 || bytes.compare(0, kMagicLength, kMagic, kMagicLength) != 0)
        Damaged(name, "die Kennung \\x93NUMPY fehlt", "the mark \\x93NUMPY is missing");
    const auto major = static_cast<unsigned char>(bytes[6]);
    std::size_t length = 0, start = 0;
    if (major == 1) {
        length = static_cast<unsigned char>(bytes[8]) | static_cast<std::size_t>(static_cast<unsigned char>(bytes[9]))
                                                            << 8;
        start = 10;
    } else if (major == 2 || major == 3) {
        if (bytes.size() < 12) Damaged(name, "der Kopf ist abgeschnitten", "the header is cut off");
        for (int b = 3; b >= 0; --b)
            length = length << 8 | static_cast<unsigned char>(bytes[8 + static_cast<std::size_t>(b)]);
        start = 12;
    } else {
        Damaged(name, "die Formatversion " + std::to_string(major) + " ist unbekannt",
                "the format version " + std::to_string(major) + " is unknown");
    }
    if (length > bytes.size() - start) Damaged(name, "der Kopf ist abgeschnitten", "the header is cut off");
    if (length > kMaxHeader)
        Damaged(name, "der Kopf ist länger als " + std::to_string(kMaxHeader) + " Bytes",
                "the header is longer than " + std::to_string(kMaxHeader) + " bytes");
    const std::string text = bytes.substr(start, length);
    const HeaderReader::Header header = HeaderReader(text, major < 3, name).Read();
    if (header.descr != "<f8" && header.descr != "<d" && header.descr != "float64")
        Damaged(name, "der Typ '" + header.descr + "' ist nicht float64 (little-endian)",
                "the type '" + header.descr + "' is not float64 (little-endian)");
    if (header.shape.size() != 2)
        Damaged(name, "das Feld ist nicht zweidimensional", "the array is not two-dimensional");
    Doubles result;
    result.rows = static_cast<int>(header.shape[0]);
    result.cols = static_cast<int>(header.shape[1]);
    const std::size_t count = static_cast<std::size_t>(result.rows) * static_cast<std::size_t>(result.cols);
    const std::size_t data = start + length;
    if (count > (bytes.size() - data) / sizeof(double) || bytes.size() - data != count * sizeof(double))
        Damaged(name,
                "die Daten passen nicht zur Form (" + std::to_string(result.rows) + ", " + std::to_string(result.cols) +
                    ")",
                "the data do not match the shape (" + std::to_string(result.rows) + ", " + std::to_string(result.cols) +
                    ")");
    result.values.resize(count);
    if (count > 0) std::memcpy(result.values.data(), bytes.data() + data, count * sizeof(double));
    if (header.fortran) {
        // Column after column in the file: element (r, c) at c * rows + r.
        std::vector<double> c_order(count);
        for (std::size_t r = 0; r < static_cast<std::size_t>(result.rows); ++r)
            for (std::size_t c = 0; c < static_cast<std::size_t>(result.cols); ++c)
                c_order[r * static_cast<std::size_t>(result.cols) + c] =
                    result.values[c * static_cast<std::size_t>(result.rows) + r];
        result.values.swap(c_order);
    }
    return result;
}

}  // namespace tesora::npy
