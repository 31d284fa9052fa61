#pragma once
// Level tables, the matrix bank and the working matrix, alive for the whole run.
//
// Level k has 2^k + 1 values per line. ScalingGram(k) is (2^k+1)-square and
// WaveletGram(k) 2^k-square for k = 1 ... 10; CoeffMatrix is 1025 x 1025 (level 10).
// Everything is allocated zero-filled once, before main runs.
#include <cstdint>

#include "matrix/Matrix.h"

namespace tesora {

constexpr int kMaxLevel = 10;  // 1025 values per line
constexpr int kMaxSide = (1 << kMaxLevel) + 1;

extern std::int32_t Pow2Int[12];  // 2^k
extern double Pow2[12];           // 2^k
extern double Pow2Inv[12];        // 2^-k

// Entries 0 ... 9: ScalingGram(1 ... 10); entries 10 ... 19: WaveletGram(1 ... 10).
extern Matrix* LevelMatrices[20];

extern Matrix& WaveletMatrix;  // 9 x 4, wavelets of level index 2
extern Matrix& CoeffMatrix;    // 1025 x 1025, the picture and its coefficients

extern double WaveletLeft[4];
extern double WaveletInner[5];
extern double WaveletRight[4];
extern double OneMinusHalfDelta;
extern double HalfDelta;

// Constructs the bank on its first call; later calls do nothing. Runs before main.
void AllocateMatrixBank();
void InitPowerTables();
void FillLevelMatrixTable();

// Direct access to the bank, independent of LevelMatrices (k = 1 ... 10).
Matrix& ScalingGram(int k);
Matrix& WaveletGram(int k);

// Number of doubles the bank, WaveletMatrix and CoeffMatrix hold together.
long long BankDoubleCount();

}  // namespace tesora
