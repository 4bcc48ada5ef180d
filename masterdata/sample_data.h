// The sample master data that a new installation starts with, so the master data creator can
// run at once: a template database ClientDatabase.mdb (an SQLite client database) whose
// SERVICECENTERS table lists two companies with three service centres, and master data tables
// with rows of several centres and companies; and a transfer description
// MasterDataTransfer.Xml that cuts them down with DELETE and APPEND entries (and holds one
// entry switched off by its condition).
//
// Stateless; thread-safe as long as no two threads write into one folder.
#ifndef TQS_MASTERDATA_SAMPLE_DATA_H_
#define TQS_MASTERDATA_SAMPLE_DATA_H_

#include <filesystem>
#include <string>
#include <string_view>

namespace tqs::masterdata {

// The SQL script that creates and fills the sample template database.
std::string_view SampleTemplateScript();

// The sample transfer description.
std::string_view SampleTransferDescription();

// Writes ClientDatabase.mdb and MasterDataTransfer.Xml into `program_folder` (an
// installation's bin folder), each only when it does not exist yet: an operator's own template
// or description is never replaced. Returns a line for the operator saying what was written.
// Raises tqs::Error naming the file that cannot be written.
std::string WriteSampleMasterData(const std::filesystem::path& program_folder);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_SAMPLE_DATA_H_
