// The picture archive, read-only: a directory read once at open, and the object itself as a
// COM IStream over the entry that the last successful SelectEntry chose.
#pragma once
#include <windows.h>
#include <objidl.h>

#include <cstdint>

class TVfsFile final : public IStream {
public:
  explicit TVfsFile(const char* path);
  ~TVfsFile();  // not virtual: the IStream slots are the only virtual operations
  TVfsFile(const TVfsFile&) = delete;
  TVfsFile& operator=(const TVfsFile&) = delete;

  bool SelectEntry(const char* name);

  // IUnknown. The object lives as long as its owner keeps it; the count governs nothing.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ISequentialStream / IStream
  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                 ULARGE_INTEGER* plibNewPosition) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER libNewSize) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD grfCommitFlags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                       DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb,
                                         DWORD dwLockType) override;
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** ppstm) override;

private:
  int32_t refCount = 0;
  uint64_t position = 0;
  HANDLE fileHandle = INVALID_HANDLE_VALUE;
  uint8_t* directoryBlock = nullptr;
  char currentName[32] = {};
  int32_t currentStart = 0;
  int32_t currentSize = 0;
  int32_t entryCount = 0;
};

// The one archive, opened on "data.vfs" before WinMain; every picture is read through it.
extern TVfsFile* Archive;
