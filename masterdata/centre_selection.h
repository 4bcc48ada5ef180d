// Which service centres of the template a run produces. A centre's company and name become a
// folder and file names below the master data folder, so a run produces only the centres whose
// names are fit for that (output_layout.h CheckOutputName), and none of two or more centres
// whose (company, centre) differ only in ASCII letter case: the output names would be the same
// file on a case-insensitive lookup, and the later centre would overwrite the earlier one's
// database. Rows that are exact duplicates are no such collision; they are kept, as listed.
// The selection is made before the first centre is written, and every centre left out is
// reported with its reason.
//
// Stateless function; thread-safe.
#ifndef TQS_MASTERDATA_CENTRE_SELECTION_H_
#define TQS_MASTERDATA_CENTRE_SELECTION_H_

#include <string>
#include <vector>

#include "masterdata/table_transfer.h"

namespace tqs::masterdata {

struct CentreSelection {
  std::vector<ServiceCentre> produced;  // in the order listed
  std::vector<std::string> skipped;     // one log line per centre left out, in the order listed
};

// Splits the (trimmed) centres of SERVICECENTERS into those to produce and those to skip.
CentreSelection SelectCentres(const std::vector<ServiceCentre>& centres);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_CENTRE_SELECTION_H_
