// The module record and the stubs the host calls.
#include <gtest/gtest.h>
#include <string.h>

#include "plugin/in_module.h"
#include "plugin/settings.h"

namespace {

int g_volume_seen = -1000;
int g_pan_seen = -1000;
void __cdecl RecordVolume(int v) { g_volume_seen = v; }
void __cdecl RecordPan(int p) { g_pan_seen = p; }

TEST(ModuleRecord, InitialValues) {
  EXPECT_EQ(g_InModule.version, 0x0F000100);
  EXPECT_STREQ(g_InModule.description, "Tandrel Mini UPnP input 1.1");
  EXPECT_EQ(g_InModule.FileExtensions, PluginSettings.FileExtensions);
  EXPECT_EQ(g_InModule.UsesOutputPlug, 1);
  EXPECT_TRUE(g_InModule.SAVSAInit == NULL && g_InModule.VSAGetMode == NULL && g_InModule.SetInfo == NULL);
  EXPECT_TRUE(g_InModule.VSAAdd != NULL && g_InModule.EQSet != NULL);
  EXPECT_EQ(g_InModule.VSAAdd(NULL, 0), 0);
}

TEST(ModuleRecord, PlaybackStubsAnswerZero) {
  EXPECT_EQ(g_InModule.Play(L"C:\\music\\a.wav"), 0);
  EXPECT_EQ(g_InModule.GetLength(), 0);
  EXPECT_EQ(g_InModule.GetOutputTime(), 0);
  EXPECT_EQ(g_InModule.IsPaused(), 0);
  EXPECT_EQ(g_InModule.IsOurFile(L"C:\\music\\a.flac"), 0);
  EXPECT_EQ(g_InModule.IsOurFile(L"http://127.0.0.1/a.wav"), 0);
}

TEST(ModuleRecord, VolumeAndPanReachTheOutputModuleUnchanged) {
  g_InModule.outMod = NULL;
  g_InModule.SetVolume(10);  // before the host filled outMod: ignored, no crash
  g_InModule.SetPan(10);
  Out_Module out;
  memset(&out, 0, sizeof(out));
  out.SetVolume = RecordVolume;
  out.SetPan = RecordPan;
  g_InModule.outMod = &out;
  g_InModule.SetVolume(200);
  g_InModule.SetPan(-40);
  g_InModule.outMod = NULL;
  EXPECT_EQ(g_volume_seen, 200);
  EXPECT_EQ(g_pan_seen, -40);
}

}  // namespace
