#include "blac/Bank.h"

#include <cmath>
#include <memory>
#include <vector>

namespace tesora {

namespace {
struct MatrixBank {
    // Construction order: WaveletMatrix, ScalingGram(1..10), WaveletGram(1..10), CoeffMatrix.
    Matrix wavelet{9, 4};
    std::vector<std::unique_ptr<Matrix>> scaling;
    std::vector<std::unique_ptr<Matrix>> waveletGram;
    std::unique_ptr<Matrix> coeff;

    MatrixBank() {
        for (int k = 1; k <= kMaxLevel; ++k) scaling.push_back(std::make_unique<Matrix>((1 << k) + 1, (1 << k) + 1));
        for (int k = 1; k <= kMaxLevel; ++k) waveletGram.push_back(std::make_unique<Matrix>(1 << k, 1 << k));
        coeff = std::make_unique<Matrix>(kMaxSide, kMaxSide);
    }
};

MatrixBank& Bank() {
    static MatrixBank bank;  // never destroyed before exit
    return bank;
}
}  // namespace

std::int32_t Pow2Int[12] = {};
double Pow2[12] = {};
double Pow2Inv[12] = {};
Matrix* LevelMatrices[20] = {};

Matrix& WaveletMatrix = Bank().wavelet;
Matrix& CoeffMatrix = *Bank().coeff;

double WaveletLeft[4] = {};
double WaveletInner[5] = {};
double WaveletRight[4] = {};
double OneMinusHalfDelta = 0.0;
double HalfDelta = 0.0;

void AllocateMatrixBank() { Bank(); }

Matrix& ScalingGram(int k) { return *Bank().scaling[static_cast<std::size_t>(k - 1)]; }
Matrix& WaveletGram(int k) { return *Bank().waveletGram[static_cast<std::size_t>(k - 1)]; }

void InitPowerTables() {
    Pow2Int[0] = 1;
    for (int k = 0; k <= 11; ++k) {
        Pow2[k] = std::pow(2.0, k);
        Pow2Inv[k] = std::pow(2.0, -k);
        if (k >= 1) Pow2Int[k] = Pow2Int[k - 1] + Pow2Int[k - 1];
    }
}

void FillLevelMatrixTable() {
    for (int k = 1; k <= kMaxLevel; ++k) {
        LevelMatrices[k - 1] = &ScalingGram(k);
        LevelMatrices[9 + k] = &WaveletGram(k);
    }
}

long long BankDoubleCount() {
    long long total = static_cast<long long>(WaveletMatrix.Rows()) * WaveletMatrix.Cols();
    for (int k = 1; k <= kMaxLevel; ++k) {
        total += static_cast<long long>(ScalingGram(k).Rows()) * ScalingGram(k).Cols();
        total += static_cast<long long>(WaveletGram(k).Rows()) * WaveletGram(k).Cols();
    }
    return total + static_cast<long long>(CoeffMatrix.Rows()) * CoeffMatrix.Cols();
}

}  // namespace tesora
