// The ground every Windows test stands on: a window on the private display and a sound device
// on the private sound server.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

TEST(Harness, CreatesAWindowOnTheDisplay) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "HarnessSmokeClass";
  ASSERT_NE(RegisterClassExA(&wc), 0);
  HWND hwnd = CreateWindowExA(0, "HarnessSmokeClass", "smoke", WS_POPUP | WS_VISIBLE, 10, 20, 30, 40,
                              nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_NE(hwnd, nullptr);
  RECT r;
  GetWindowRect(hwnd, &r);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.bottom - r.top, 40);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  DestroyWindow(hwnd);
  UnregisterClassA("HarnessSmokeClass", wc.hInstance);
}

TEST(Harness, CreatesADirectSoundDeviceAndBuffer) {
  HWND hwnd = CreateWindowExA(0, "STATIC", "dsound", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  IDirectSound* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
  EXPECT_EQ(ds->SetCooperativeLevel(hwnd, DSSCL_PRIORITY), DS_OK);
  WAVEFORMATEX fmt = {};
  fmt.wFormatTag = WAVE_FORMAT_PCM;
  fmt.nChannels = 2;
  fmt.nSamplesPerSec = 44100;
  fmt.wBitsPerSample = 16;
  fmt.nBlockAlign = 4;
  fmt.nAvgBytesPerSec = 176400;
  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof desc;
  desc.dwBufferBytes = 176400;
  desc.lpwfxFormat = &fmt;
  IDirectSoundBuffer* buffer = nullptr;
  EXPECT_EQ(ds->CreateSoundBuffer(&desc, &buffer, nullptr), DS_OK);
  if (buffer) buffer->Release();
  ds->Release();
  DestroyWindow(hwnd);
}
