#pragma once
// numpy's .npy files for 2-D arrays: written byte for byte as numpy.save writes them
// (format 1.0, little-endian, C order, the header padded to 64 bytes), read back from
// any format version with a float64 array in either order. Every length and shape of a
// file that is read is checked before it is used.
#include <cstdint>
#include <string>
#include <vector>

namespace tesora::npy {

// The file's bytes for a rows x cols array; `descr` is numpy's type text ("<f8",
// "<i4", "|b1") and `data` the elements' bytes in C order.
std::string Encode(const std::string& descr, int rows, int cols, const void* data, std::size_t bytes);

std::string EncodeDoubles(const std::vector<double>& values, int rows, int cols);
std::string EncodeInts(const std::vector<std::int32_t>& values, int rows, int cols);
std::string EncodeBools(const std::vector<std::uint8_t>& values, int rows, int cols);

// A 2-D float64 array read from a file's bytes, in C order. Throws Error with a German
// message naming `name` for anything else (other types, shapes, damaged headers, data of
// the wrong length).
struct Doubles {
    int rows = 0;
    int cols = 0;
    std::vector<double> values;
};
Doubles DecodeDoubles(const std::string& bytes, const std::string& name);

}  // namespace tesora::npy
