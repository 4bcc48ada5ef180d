#include "tests/reliability/faulty_sqlite_vfs.h"

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <mutex>

namespace tqs::test_support {
namespace {

// The armed fault and how many commits remain before it strikes (shared with every file).
std::atomic<StorageFault> armed{StorageFault::kNone};
std::atomic<int> commits_to_go{0};
std::atomic<int> refused_count{0};

// The fault now in force, if any.
StorageFault ActiveFault() {
  const StorageFault fault = armed.load();
  if (fault == StorageFault::kNone || commits_to_go.load() > 0) return StorageFault::kNone;
  return fault;
}

sqlite3_vfs* real_vfs = nullptr;

// Our file: the real file's state follows it in the same allocation.
struct FaultyFile {
  sqlite3_file base;
  sqlite3_file* real;
  bool is_wal;
  bool commit_written;  // a commit frame was written to this WAL file and not yet synced
};

// A WAL frame header (24 bytes after the 32-byte file header) whose second big-endian word, the
// database size after the commit, is not 0 belongs to the last frame of a commit.
bool IsCommitFrameHeader(const void* buffer, int amount, sqlite3_int64 offset) {
  if (amount != 24 || offset < 32) return false;
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  return (bytes[4] | bytes[5] | bytes[6] | bytes[7]) != 0;
}

sqlite3_file* Real(sqlite3_file* file) { return reinterpret_cast<FaultyFile*>(file)->real; }

int Close(sqlite3_file* file) {
  sqlite3_file* real = Real(file);
  return real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
}
int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset) {
  return Real(file)->pMethods->xRead(Real(file), buffer, amount, offset);
}
int RefusedWrite(StorageFault fault) {
  ++refused_count;
  // What the operating system's refusals become in SQLite's own file layer: EROFS/EACCES an
  // I/O error of the write, ENOSPC a full database.
  return fault == StorageFault::kDiskFull ? SQLITE_FULL : SQLITE_IOERR_WRITE;
}
int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset) {
  const StorageFault fault = ActiveFault();
  if (fault == StorageFault::kReadOnly || fault == StorageFault::kDiskFull) {
    return RefusedWrite(fault);
  }
  auto* faulty = reinterpret_cast<FaultyFile*>(file);
  if (faulty->is_wal && IsCommitFrameHeader(buffer, amount, offset)) faulty->commit_written = true;
  return faulty->real->pMethods->xWrite(faulty->real, buffer, amount, offset);
}
int Truncate(sqlite3_file* file, sqlite3_int64 size) {
  const StorageFault fault = ActiveFault();
  if (fault == StorageFault::kReadOnly) return RefusedWrite(fault);
  return Real(file)->pMethods->xTruncate(Real(file), size);
}
int Sync(sqlite3_file* file, int flags) {
  const int code = Real(file)->pMethods->xSync(Real(file), flags);
  auto* faulty = reinterpret_cast<FaultyFile*>(file);
  if (code == SQLITE_OK && faulty->commit_written) {
    faulty->commit_written = false;
    int left = commits_to_go.load();
    while (left > 0 && !commits_to_go.compare_exchange_weak(left, left - 1)) {
    }
  }
  return code;
}
int FileSize(sqlite3_file* file, sqlite3_int64* size) {
  return Real(file)->pMethods->xFileSize(Real(file), size);
}
int Lock(sqlite3_file* file, int level) { return Real(file)->pMethods->xLock(Real(file), level); }
int Unlock(sqlite3_file* file, int level) {
  return Real(file)->pMethods->xUnlock(Real(file), level);
}
int CheckReservedLock(sqlite3_file* file, int* out) {
  return Real(file)->pMethods->xCheckReservedLock(Real(file), out);
}
int FileControl(sqlite3_file* file, int op, void* arg) {
  return Real(file)->pMethods->xFileControl(Real(file), op, arg);
}
int SectorSize(sqlite3_file* file) { return Real(file)->pMethods->xSectorSize(Real(file)); }
int DeviceCharacteristics(sqlite3_file* file) {
  return Real(file)->pMethods->xDeviceCharacteristics(Real(file));
}
int ShmMap(sqlite3_file* file, int page, int page_size, int extend, void volatile** out) {
  return Real(file)->pMethods->xShmMap(Real(file), page, page_size, extend, out);
}
int ShmLock(sqlite3_file* file, int offset, int n, int flags) {
  // Slot 0 of the WAL index is the write lock: another writer holds it.
  if (offset == 0 && (flags & SQLITE_SHM_LOCK) && (flags & SQLITE_SHM_EXCLUSIVE) &&
      ActiveFault() == StorageFault::kLocked) {
    ++refused_count;
    return SQLITE_BUSY;
  }
  return Real(file)->pMethods->xShmLock(Real(file), offset, n, flags);
}
void ShmBarrier(sqlite3_file* file) { Real(file)->pMethods->xShmBarrier(Real(file)); }
int ShmUnmap(sqlite3_file* file, int remove) {
  return Real(file)->pMethods->xShmUnmap(Real(file), remove);
}

// Version 2: no memory-mapped reads, so every page goes through Read.
const sqlite3_io_methods kMethods = {
    2,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    ShmMap,
    ShmLock,
    ShmBarrier,
    ShmUnmap,
    nullptr,
    nullptr,
};

int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  auto* faulty = reinterpret_cast<FaultyFile*>(file);
  faulty->real = reinterpret_cast<sqlite3_file*>(faulty + 1);
  faulty->is_wal = (flags & SQLITE_OPEN_WAL) != 0;
  faulty->commit_written = false;
  std::memset(faulty->real, 0, static_cast<std::size_t>(real_vfs->szOsFile));
  const int code = real_vfs->xOpen(real_vfs, name, faulty->real, flags, out_flags);
  // A file that did not open has no methods: SQLite then never calls Close.
  faulty->base.pMethods = faulty->real->pMethods != nullptr ? &kMethods : nullptr;
  return code;
}

sqlite3_vfs faulty_vfs;

}  // namespace

FaultySqliteVfs::FaultySqliteVfs() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    real_vfs = sqlite3_vfs_find(nullptr);
    faulty_vfs = *real_vfs;
    faulty_vfs.zName = "tqs-faulty";
    faulty_vfs.szOsFile = static_cast<int>(sizeof(FaultyFile)) + real_vfs->szOsFile;
    faulty_vfs.xOpen = Open;
    faulty_vfs.pNext = nullptr;
    sqlite3_vfs_register(&faulty_vfs, /*makeDflt=*/1);
  });
  Disarm();
}

FaultySqliteVfs::~FaultySqliteVfs() { Disarm(); }

void FaultySqliteVfs::Arm(StorageFault fault, int after_commits) {
  armed = StorageFault::kNone;
  commits_to_go = after_commits;
  refused_count = 0;
  armed = fault;
}

int FaultySqliteVfs::refused() const { return refused_count.load(); }

}  // namespace tqs::test_support
