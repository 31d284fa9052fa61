// .npy: "\x93NUMPY", major, minor, header length (2 bytes in 1.0, 4 in 2.0 and 3.0),
// then a Python dict literal {'descr': ..., 'fortran_order': ..., 'shape': (...), }
// ended by '\n', then the elements.
#include "tools/Npy.h"

#include <bit>
#include <cstring>
#include <limits>

#include "matrix/Error.h"

namespace tesora::npy {

static_assert(std::endian::native == std::endian::little, "the .npy files are written little-endian");

namespace {

const char kMagic[] = "\x93NUMPY";
constexpr std::size_t kMagicLength = 6;
constexpr std::size_t kAlign = 64;

[[noreturn]] void Damaged(const std::string& name, const std::string& why) {
    throw Error("Die Datei \"" + name + "\" ist keine lesbare .npy-Datei: " + why + ".");
}

// The value text after 'key': in the header dict, up to the next top-level comma.
std::string Field(const std::string& header, const std::string& key, const std::string& name) {
    const std::string quoted = "'" + key + "'";
    const std::size_t at = header.find(quoted);
    if (at == std::string::npos) Damaged(name, "der Eintrag " + key + " fehlt");
    std::size_t p = header.find(':', at + quoted.size());
    if (p == std::string::npos) Damaged(name, "der Eintrag " + key + " ist unvollständig");
    ++p;
    while (p < header.size() && header[p] == ' ') ++p;
    std::size_t end = p;
    if (end < header.size() && header[end] == '(') {
        end = header.find(')', end);
        if (end == std::string::npos) Damaged(name, "die Form ist unvollständig");
        return header.substr(p, end + 1 - p);
    }
    while (end < header.size() && header[end] != ',' && header[end] != '}') ++end;
    std::string value = header.substr(p, end - p);
    while (!value.empty() && value.back() == ' ') value.pop_back();
    return value;
}

// "(r, c)" with two whole numbers.
void ReadShape(const std::string& text, int& rows, int& cols, const std::string& name) {
    long long parts[3] = {0, 0, 0};
    int count = 0;
    bool digits = false;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (count >= 3) Damaged(name, "die Form ist nicht zweidimensional");
            parts[count] = parts[count] * 10 + (c - '0');
            if (parts[count] > std::numeric_limits<int>::max()) Damaged(name, "die Form ist zu groß");
            digits = true;
        } else if (c == ',') {
            if (!digits) Damaged(name, "die Form ist unlesbar");
            ++count;
            digits = false;
        } else if (c != ' ' && c != 'L') {
            Damaged(name, "die Form ist unlesbar");
        }
    }
    if (digits) ++count;
    if (count != 2) Damaged(name, "das Feld ist nicht zweidimensional (Form " + text + ")");
    rows = static_cast<int>(parts[0]);
    cols = static_cast<int>(parts[1]);
}

}  // namespace

std::string Encode(const std::string& descr, int rows, int cols, const void* data, std::size_t bytes) {
    std::string header = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (" + std::to_string(rows) +
                         ", " + std::to_string(cols) + "), }";
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
        Damaged(name, "die Kennung \\x93NUMPY fehlt");
    const auto major = static_cast<unsigned char>(bytes[6]);
    std::size_t length = 0, start = 0;
    if (major == 1) {
        length = static_cast<unsigned char>(bytes[8]) | static_cast<std::size_t>(static_cast<unsigned char>(bytes[9])) << 8;
        start = 10;
    } else if (major == 2 || major == 3) {
        if (bytes.size() < 12) Damaged(name, "der Kopf ist abgeschnitten");
        for (int b = 3; b >= 0; --b) length = length << 8 | static_cast<unsigned char>(bytes[8 + static_cast<std::size_t>(b)]);
        start = 12;
    } else {
        Damaged(name, "die Formatversion " + std::to_string(major) + " ist unbekannt");
    }
    if (length > bytes.size() - start) Damaged(name, "der Kopf ist abgeschnitten");
    const std::string header = bytes.substr(start, length);
    const std::string descr = Field(header, "descr", name);
    if (descr != "'<f8'" && descr != "'<d'" && descr != "'float64'")
        Damaged(name, "der Typ " + descr + " ist nicht float64 (little-endian)");
    const std::string order = Field(header, "fortran_order", name);
    if (order != "False" && order != "True") Damaged(name, "fortran_order ist weder True noch False");
    Doubles result;
    ReadShape(Field(header, "shape", name), result.rows, result.cols, name);
    const std::size_t count = static_cast<std::size_t>(result.rows) * static_cast<std::size_t>(result.cols);
    const std::size_t data = start + length;
    if (count > (bytes.size() - data) / sizeof(double) || bytes.size() - data != count * sizeof(double))
        Damaged(name, "die Daten passen nicht zur Form (" + std::to_string(result.rows) + ", " +
                          std::to_string(result.cols) + ")");
    result.values.resize(count);
    if (count > 0) std::memcpy(result.values.data(), bytes.data() + data, count * sizeof(double));
    if (order == "True") {
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
