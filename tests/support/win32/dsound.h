// The DirectSound interfaces of the stand-in: the methods the stream calls, with the real
// signatures and values; the objects are made in StandIn.cpp.
#pragma once
#include "mmsystem.h"

#define DS_OK S_OK
#define DSERR_NODRIVER HRESULT(0x88780078)
#define DSSCL_PRIORITY 2u
#define DSBCAPS_PRIMARYBUFFER 0x1u
#define DSBCAPS_LOCSOFTWARE 0x8u
#define DSBCAPS_CTRLFREQUENCY 0x20u
#define DSBCAPS_CTRLPAN 0x40u
#define DSBCAPS_CTRLVOLUME 0x80u
#define DSBCAPS_CTRLPOSITIONNOTIFY 0x100u
#define DSBCAPS_GLOBALFOCUS 0x8000u
#define DSBCAPS_GETCURRENTPOSITION2 0x10000u
#define DSBLOCK_ENTIREBUFFER 0x2u
#define DSBPLAY_LOOPING 0x1u

typedef struct {
  DWORD dwSize, dwFlags, dwBufferBytes;
  WAVEFORMATEX* lpwfxFormat;
} DSBUFFERDESC;

typedef struct { DWORD dwOffset; HANDLE hEventNotify; } DSBPOSITIONNOTIFY;

inline const IID IID_IDirectSoundNotify = {0xB0210783, 0x89CD, 0x11D0,
                                           {0xAF, 0x08, 0x00, 0xA0, 0xC9, 0x25, 0xCD, 0x16}};

struct IUnknown {
  virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
  virtual UINT AddRef() = 0;
  virtual UINT Release() = 0;
};

struct IDirectSoundBuffer : IUnknown {
  virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
  virtual HRESULT GetCurrentPosition(DWORD* play, DWORD* write) = 0;
  virtual HRESULT Lock(DWORD offset, DWORD bytes, void** audio1, DWORD* bytes1, void** audio2, DWORD* bytes2,
                       DWORD flags) = 0;
  virtual HRESULT Unlock(void* audio1, DWORD bytes1, void* audio2, DWORD bytes2) = 0;
  virtual HRESULT SetCurrentPosition(DWORD position) = 0;
  virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT SetVolume(int32_t volume) = 0;
};

struct IDirectSoundNotify : IUnknown {
  virtual HRESULT SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions) = 0;
};

struct IDirectSound : IUnknown {
  virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** out, IUnknown* outer) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
};

HRESULT WINAPI DirectSoundCreate(const GUID* device, IDirectSound** out, IUnknown* outer);
