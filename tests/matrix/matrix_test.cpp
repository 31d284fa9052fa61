#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "matrix/Matrix.h"

using tesora::Matrix;

namespace {
std::string CaptureAssign(Matrix& target, const Matrix& source) {
    testing::internal::CaptureStdout();
    target.Assign(source);
    return testing::internal::GetCapturedStdout();
}
}  // namespace

TEST(Matrix, StorageIsRowMajorAndOneBased) {
    Matrix m(9, 4);
    for (int i = 1; i <= 9; ++i)
        for (int j = 1; j <= 4; ++j) EXPECT_EQ(m.Get(i, j), 0.0);
    m.Set(2, 3, 7.5);
    m.Set(9, 4, -1.25);
    EXPECT_EQ(m.Data()[6], 7.5);
    EXPECT_EQ(m.Data()[35], -1.25);
}

TEST(Matrix, ViewOverArrayUsesItInPlaceAndNeverReleasesIt) {
    double values[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    {
        Matrix view(values, 3, 3);
        EXPECT_EQ(view.Get(2, 1), 4.0);
        view.Set(3, 3, 42.0);
    }
    EXPECT_EQ(values[8], 42.0);  // still ours, and written through
}

TEST(Matrix, AssignChecksBothDimensions) {
    Matrix target(4, 5);
    for (int i = 1; i <= 4; ++i)
        for (int j = 1; j <= 5; ++j) target.Set(i, j, i * 10 + j);

    const Matrix wrong(3, 4);
    EXPECT_EQ(CaptureAssign(target, wrong), "In =: Matrix-Dimensionen stimmen nicht überein!\n");
    EXPECT_EQ(target.Get(4, 5), 45.0);

    Matrix sameCount(3, 4), reshaped(2, 6);
    sameCount.Set(1, 1, 3.0);
    EXPECT_FALSE(CaptureAssign(sameCount, reshaped).empty());
    EXPECT_EQ(sameCount.Get(1, 1), 3.0);

    Matrix source(4, 5);
    source.Set(2, 2, -0.0);
    source.Set(3, 3, std::nan("7"));
    EXPECT_EQ(CaptureAssign(target, source), "");
    EXPECT_TRUE(std::signbit(target.Get(2, 2)));
    EXPECT_EQ(std::memcmp(source.Data(), target.Data(), 20 * sizeof(double)), 0);
}

TEST(Matrix, TransposedSwapsIndicesAndTwiceGivesBack) {
    Matrix m(9, 4);
    for (int i = 1; i <= 9; ++i)
        for (int j = 1; j <= 4; ++j) m.Set(i, j, i * 100 + j);
    const Matrix t = m.Transposed();
    ASSERT_EQ(t.Rows(), 4);
    ASSERT_EQ(t.Cols(), 9);
    for (int i = 1; i <= 9; ++i)
        for (int j = 1; j <= 4; ++j) EXPECT_EQ(t.Get(j, i), m.Get(i, j));
    const Matrix back = t.Transposed();
    EXPECT_EQ(std::memcmp(back.Data(), m.Data(), 36 * sizeof(double)), 0);
}

TEST(Matrix, EmptyShapesAreLegal) {
    Matrix empty(0, 5);
    EXPECT_EQ(empty.Rows(), 0);
    const Matrix t = empty.Transposed();
    EXPECT_EQ(t.Cols(), 0);
}

TEST(Matrix, CopiesAreDeep) {
    Matrix a(2, 2);
    a.Set(1, 1, 1.0);
    Matrix b(a);
    b.Set(1, 1, 2.0);
    EXPECT_EQ(a.Get(1, 1), 1.0);
}
