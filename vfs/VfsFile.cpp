#include "vfs/VfsFile.h"

#include <cstdlib>
#include <cstring>

#include "common/BoundedText.h"
#include "vfs/VfsDirectory.h"

TVfsFile* Archive = nullptr;

namespace {

void ReportOpenFailure(const char* path) {
  const DWORD code = GetLastError();
  char text[100];  // the box shows at most 99 characters
  TBoundedText(text, sizeof text).Add("Cannot open file: ").Add(path).Add(" \nError code:")
      .Decimal(int32_t(code)).Add("(").Hex(code).Add(")");
  MessageBoxA(nullptr, text, "Error", MB_ICONERROR);
}

DWORD ReadAt(HANDLE file, void* buffer, DWORD count) {
  DWORD done = 0;
  if (!ReadFile(file, buffer, count, &done, nullptr)) return 0;
  return done;
}

}  // namespace

TVfsFile::TVfsFile(const char* path) {
  fileHandle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (fileHandle == INVALID_HANDLE_VALUE) {
    ReportOpenFailure(path);
    return;
  }
  directoryBlock = static_cast<uint8_t*>(calloc(VfsHeaderBytes, 1));
  if (!directoryBlock) return;
  if (ReadAt(fileHandle, directoryBlock, VfsHeaderBytes) < VfsHeaderBytes) return;

  // A lying headerSize must not make us allocate or read more than the file holds.
  const uint32_t headerSize = VfsHeaderSize(directoryBlock);
  const DWORD fileSize = GetFileSize(fileHandle, nullptr);
  const uint32_t blockSize = headerSize < fileSize ? headerSize : fileSize;
  if (blockSize < VfsHeaderBytes) return;
  auto* grown = static_cast<uint8_t*>(realloc(directoryBlock, blockSize));
  if (!grown) return;
  directoryBlock = grown;
  SetFilePointer(fileHandle, 0, nullptr, FILE_BEGIN);
  const DWORD bytesRead = ReadAt(fileHandle, directoryBlock, blockSize);
  entryCount = VfsEntryCount(headerSize, bytesRead);
}

TVfsFile::~TVfsFile() {
  if (fileHandle != INVALID_HANDLE_VALUE) CloseHandle(fileHandle);
  free(directoryBlock);
  directoryBlock = nullptr;
}

bool TVfsFile::SelectEntry(const char* name) {
  const int32_t index = VfsFindEntry(directoryBlock, entryCount, name);
  if (index < 0) return false;
  const TVfsRecord record = VfsRecordAt(directoryBlock, index);
  const uint32_t start = VfsHeaderSize(directoryBlock) + record.offset;
  SetFilePointer(fileHandle, LONG(start), nullptr, FILE_BEGIN);
  memset(currentName, 0, sizeof currentName);
  memcpy(currentName, record.name, strnlen(reinterpret_cast<const char*>(record.name), VfsNameBytes));
  currentStart = int32_t(start);
  currentSize = int32_t(record.size);
  return true;
}

HRESULT TVfsFile::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (memcmp(&riid, &IID_IUnknown, sizeof(GUID)) != 0 && memcmp(&riid, &IID_IStream, sizeof(GUID)) != 0)
    return E_NOINTERFACE;
  *ppv = static_cast<IStream*>(this);
  AddRef();
  return S_OK;
}

ULONG TVfsFile::AddRef() { return ULONG(++refCount); }

ULONG TVfsFile::Release() { return ULONG(--refCount); }

HRESULT TVfsFile::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  DWORD done = 0;
  if (fileHandle != INVALID_HANDLE_VALUE && !ReadFile(fileHandle, pv, cb, &done, nullptr))
    return E_FAIL;
  position += done;
  if (pcbRead) *pcbRead = done;
  return S_OK;
}

// The archive is opened for reading only: writing and resizing are refused as a read-only
// storage stream refuses them.
HRESULT TVfsFile::Write(const void*, ULONG, ULONG* pcbWritten) {
  if (pcbWritten) *pcbWritten = 0;
  return STG_E_ACCESSDENIED;
}

HRESULT TVfsFile::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) {
  // Only the low half of the displacement counts; unsigned arithmetic gives the 32-bit wrap.
  const uint32_t d = dlibMove.LowPart;
  const uint32_t start = uint32_t(currentStart);
  ULARGE_INTEGER newPosition;
  DWORD moved;
  switch (dwOrigin) {
    case STREAM_SEEK_SET: moved = SetFilePointer(fileHandle, LONG(start + d), nullptr, FILE_BEGIN); break;
    case STREAM_SEEK_CUR: moved = SetFilePointer(fileHandle, LONG(d), nullptr, FILE_CURRENT); break;
    case STREAM_SEEK_END:
      moved = SetFilePointer(fileHandle, LONG(start + uint32_t(currentSize) + d), nullptr, FILE_BEGIN);
      break;
    default:
      newPosition.QuadPart = uint64_t(dlibMove.QuadPart);
      position = newPosition.QuadPart;
      if (plibNewPosition) *plibNewPosition = newPosition;
      return S_OK;
  }
  newPosition.LowPart = moved - start;
  newPosition.HighPart = 0;
  position = newPosition.QuadPart;
  if (plibNewPosition) *plibNewPosition = newPosition;
  return S_OK;
}

HRESULT TVfsFile::SetSize(ULARGE_INTEGER) { return STG_E_ACCESSDENIED; }

HRESULT TVfsFile::CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) {
  if (pcbRead) pcbRead->QuadPart = 0;
  if (pcbWritten) pcbWritten->QuadPart = 0;
  return E_NOTIMPL;
}

HRESULT TVfsFile::Commit(DWORD) { return S_OK; }

HRESULT TVfsFile::Revert() { return S_OK; }

HRESULT TVfsFile::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return S_OK; }

HRESULT TVfsFile::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return S_OK; }

HRESULT TVfsFile::Stat(STATSTG* pstatstg, DWORD) {
  if (!pstatstg) return E_POINTER;
  pstatstg->pwcsName = nullptr;
  pstatstg->type = STGTY_STREAM;
  pstatstg->cbSize.QuadPart = uint64_t(int64_t(currentSize));
  return S_OK;
}

// There is only the one file position, so there can be no second stream over it.
HRESULT TVfsFile::Clone(IStream** ppstm) {
  if (ppstm) *ppstm = nullptr;
  return E_NOTIMPL;
}
