// A DownloadState is the ioState ("Q72dVXRsvordJobSheets.ioState") of a job sheet download: the
// object the caller hands back to getJobSheets on every portion of one download. The first
// portion decides the whole download once, against what the laptop holds, and keeps it here as
// a snapshot: every entry with its content as the store held it at one moment, for one
// employee. Each later portion cuts the next slice of that snapshot, so orders that change or
// appear while a download runs never make a job sheet come twice or go missing; the laptop's
// next download picks them up. Each portion answers with a new state at the next position; an
// earlier state keeps its own position, so asking again with it gives the same slice again.
// Every state answers getPosition() with that position, as a whole number.
//
// The snapshot lives as long as a state of its download, usually one getJobSheets call of the
// server component; it holds the records of the entries, less than the documents the caller
// writes from them. Like every ioState it is also a property bag (ProcessJobSheet reads its
// idempotency key from it).
//
// Used by one thread at a time, like every Object; the states of one download share their
// snapshot, which never changes.
#ifndef TQS_ERP_DOWNLOAD_STATE_H_
#define TQS_ERP_DOWNLOAD_STATE_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "erp/download_planner.h"
#include "platform/automation/data_object.h"
#include "platform/automation/object.h"

namespace tqs::erp {

// A download as decided at its first portion.
struct DownloadSnapshot {
  std::string employee;       // whose download it is
  std::string engineer_name;  // handed out with every order
  std::vector<DownloadEntry> entries;
};

class DownloadState final : public automation::DataObject {
 public:
  // A state before a download's first portion: no snapshot, not completed.
  DownloadState();
  // A state of `snapshot`'s download whose next portion starts at entry `position`.
  DownloadState(std::shared_ptr<const DownloadSnapshot> snapshot, std::size_t position);

  // `object` as a DownloadState when this library made it as one. nullptr for no object and
  // for another object that holds no position beyond 0 (a new state of another
  // implementation). Another object that answers getPosition() with more (a state of a
  // download that came back wrapped) raises: its download cannot be continued, and starting it
  // again would hand the same portion out forever.
  static std::shared_ptr<const DownloadState> Of(const automation::ObjectPtr& object);

  // Null before the first portion.
  const std::shared_ptr<const DownloadSnapshot>& snapshot() const { return snapshot_; }
  std::size_t position() const { return position_; }
  // Every entry of the snapshot was handed out; completedStateAttribute() answers 1.
  bool completed() const;

 private:
  const std::shared_ptr<const DownloadSnapshot> snapshot_;
  const std::size_t position_;
};

}  // namespace tqs::erp

#endif  // TQS_ERP_DOWNLOAD_STATE_H_
