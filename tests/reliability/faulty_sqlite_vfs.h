// FaultySqliteVfs injects storage faults under every SQLite database the process opens: while
// installed it is SQLite's default file layer, passing each call on to the real one, until a
// fault is armed. Then, after a given number of further commits (a commit of a WAL database
// is the sync that follows the write of a commit frame), every write fails as a read-only file
// or a full disk makes it fail, or every attempt to take the write lock finds the database
// locked.
//
//   FaultySqliteVfs vfs;                          // disarms when it goes away
//   vfs.Arm(StorageFault::kDiskFull, /*after_commits=*/1);
//   ... the code under test writes: the first commit succeeds, then writes fail ...
//   vfs.Disarm();
//
// The file layer is installed by the first object and stays installed for the life of the
// process (connections opened through it may outlive a test, in a connection cache); without an
// armed fault it changes nothing. One object at a time. Arm/Disarm and the calls of the code under
// test may run on different threads.
#ifndef TQS_TESTS_RELIABILITY_FAULTY_SQLITE_VFS_H_
#define TQS_TESTS_RELIABILITY_FAULTY_SQLITE_VFS_H_

namespace tqs::test_support {

enum class StorageFault {
  kNone,
  kReadOnly,  // writes fail: the file became read-only
  kDiskFull,  // writes fail: no space left
  kLocked,    // the write lock is held by someone else
};

class FaultySqliteVfs {
 public:
  FaultySqliteVfs();
  ~FaultySqliteVfs();
  FaultySqliteVfs(const FaultySqliteVfs&) = delete;
  FaultySqliteVfs& operator=(const FaultySqliteVfs&) = delete;

  // The fault strikes once `after_commits` more commits have been synced.
  void Arm(StorageFault fault, int after_commits = 0);
  void Disarm() { Arm(StorageFault::kNone); }

  // How many writes or locks the fault refused since it was armed.
  int refused() const;
};

}  // namespace tqs::test_support

#endif  // TQS_TESTS_RELIABILITY_FAULTY_SQLITE_VFS_H_
