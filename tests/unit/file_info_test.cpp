// The length the host receives from the library's seconds.
#include <gtest/gtest.h>

#include <math.h>

#include "media/file_info.h"
#include "media/library_binding.h"
#include "plugin/in_module.h"
#include "plugin/settings.h"
#include "plugin/slots.h"

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

// A null name or length pointer is no query: the outputs, the side channel
// and the library binding stay as they were.
TEST(GetFileInfo, NullArgumentsTouchNothing) {
  const int only_wav = PluginSettings.OnlyWav;
  PluginSettings.OnlyWav = 0;
  int length = 1234;
  wchar_t title[8] = L"keep";
  const struct {
    const wchar_t *file;
    wchar_t *title;
    int *length;
  } rows[] = {{NULL, title, &length}, {L"C:\\a.flac", title, NULL}, {NULL, NULL, NULL}};
  for (const auto &row : rows) {
    g_InModule.is_seekable = 77;
    GetFileInfo(row.file, row.title, row.length);
    EXPECT_EQ(g_InModule.is_seekable, 77);
    EXPECT_EQ(length, 1234);
    EXPECT_STREQ(title, L"keep");
    EXPECT_FALSE(MediaLibraryBound());
  }
  g_InModule.is_seekable = 1;
  PluginSettings.OnlyWav = only_wav;
}

}  // namespace
