// The length the host receives from the library's seconds.
#include <gtest/gtest.h>

#include <math.h>

#include "media/library_query.h"

namespace {

TEST(LengthInMilliseconds, RoundsHalvesToEvenAndKeepsTheLow32Bits) {
  EXPECT_EQ(LengthInMilliseconds(1000000.0 / 176400.0), 5669);
  ASSERT_EQ(0.0025 * 1000.0, 2.5);
  EXPECT_EQ(LengthInMilliseconds(0.0025), 2);
  EXPECT_EQ(LengthInMilliseconds(0.0035), 4);
  EXPECT_EQ(LengthInMilliseconds(5e6), 705032704);  // 5,000,000,000 ms less 2^32
  EXPECT_EQ(LengthInMilliseconds(3e6), (int)3000000000u);
}

TEST(LengthInMilliseconds, FailureValuesGiveZero) {
  EXPECT_EQ(LengthInMilliseconds(-1.0), 0);  // the library's failure value
  EXPECT_EQ(LengthInMilliseconds(NAN), 0);
  EXPECT_EQ(LengthInMilliseconds(INFINITY), 0);
  EXPECT_EQ(LengthInMilliseconds(1e300), 0);
}

}  // namespace
