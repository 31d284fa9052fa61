// libFuzzer target: any bytes as a .npy matrix file. A refusal is fine; an accepted file
// must hold exactly rows x cols values and read back the same after writing it again.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "matrix/Error.h"
#include "report/Npy.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    tesora::npy::Doubles matrix;
    try {
        matrix = tesora::npy::DecodeDoubles(bytes, "fuzz.npy");
    } catch (const tesora::Error&) {
        return 0;
    }
    const auto count = static_cast<std::size_t>(matrix.rows) * static_cast<std::size_t>(matrix.cols);
    if (matrix.rows < 0 || matrix.cols < 0 || matrix.values.size() != count) {
        std::fprintf(stderr, "wrong result: %d x %d with %zu values\n", matrix.rows, matrix.cols, matrix.values.size());
        std::abort();
    }
    const tesora::npy::Doubles again =
        tesora::npy::DecodeDoubles(tesora::npy::EncodeDoubles(matrix.values, matrix.rows, matrix.cols), "again.npy");
    if (again.rows != matrix.rows || again.cols != matrix.cols ||
        (count > 0 && std::memcmp(again.values.data(), matrix.values.data(), count * sizeof(double)) != 0)) {
        std::fprintf(stderr, "wrong result: the matrix does not read back as written\n");
        std::abort();
    }
    return 0;
}
