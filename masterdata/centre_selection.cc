#include "masterdata/centre_selection.h"

#include <algorithm>
#include <map>
#include <utility>

#include "common/text.h"
#include "masterdata/output_layout.h"

namespace tqs::masterdata {
namespace {

std::string Describe(const ServiceCentre& centre) {
  return "service centre " + QuotedName(centre.centre) + " of company " +
         QuotedName(centre.company);
}

// The reason the centre's names cannot name its output; empty when they can.
std::string NameProblem(const ServiceCentre& centre) {
  if (const NameFault fault = CheckOutputName(centre.company, NameRole::kCompany);
      fault != NameFault::kNone) {
    return "the company name " + std::string(DescribeNameFault(fault));
  }
  if (const NameFault fault = CheckOutputName(centre.centre, NameRole::kCentre);
      fault != NameFault::kNone) {
    return "the centre name " + std::string(DescribeNameFault(fault));
  }
  return {};
}

bool SameNames(const ServiceCentre& a, const ServiceCentre& b) {
  return a.company == b.company && a.centre == b.centre;
}

}  // namespace

CentreSelection SelectCentres(const std::vector<ServiceCentre>& centres) {
  // The output names as ResolveWindowsPath matches them (ASCII case folded) of every centre
  // whose names are fit, and the centres that share them.
  using OutputKey = std::pair<std::string, std::string>;
  std::vector<std::string> problems;
  std::vector<OutputKey> keys;
  std::map<OutputKey, std::vector<const ServiceCentre*>> by_output;
  for (const ServiceCentre& centre : centres) {
    problems.push_back(NameProblem(centre));
    keys.emplace_back(AsciiLowerCase(centre.company), AsciiLowerCase(centre.centre));
    if (problems.back().empty()) by_output[keys.back()].push_back(&centre);
  }

  CentreSelection selection;
  for (std::size_t i = 0; i < centres.size(); ++i) {
    const ServiceCentre& centre = centres[i];
    if (!problems[i].empty()) {
      selection.skipped.push_back("Skipped " + Describe(centre) + ": " + problems[i] + ".");
      continue;
    }
    const auto& sharing = by_output.at(keys[i]);
    const auto other = std::find_if(sharing.begin(), sharing.end(),
                                    [&](const ServiceCentre* c) { return !SameNames(*c, centre); });
    if (other == sharing.end()) {
      selection.produced.push_back(centre);
      continue;
    }
    selection.skipped.push_back("Skipped " + Describe(centre) +
                                ": its company and centre differ only in letter case from those "
                                "of " +
                                Describe(**other) + "; both would write the same files.");
  }
  return selection;
}

}  // namespace tqs::masterdata
