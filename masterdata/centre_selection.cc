#include "masterdata/centre_selection.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <utility>

#include "masterdata/output_layout.h"

namespace tqs::masterdata {
namespace {

std::string AsciiLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

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
  // The centres that share their output names ignoring case, by those names in lower case.
  std::map<std::pair<std::string, std::string>, std::vector<const ServiceCentre*>> by_output;
  for (const ServiceCentre& centre : centres) {
    if (!NameProblem(centre).empty()) continue;
    by_output[{AsciiLower(centre.company), AsciiLower(centre.centre)}].push_back(&centre);
  }

  CentreSelection selection;
  for (const ServiceCentre& centre : centres) {
    if (const std::string problem = NameProblem(centre); !problem.empty()) {
      selection.skipped.push_back("Skipped " + Describe(centre) + ": " + problem + ".");
      continue;
    }
    const auto& sharing = by_output.at({AsciiLower(centre.company), AsciiLower(centre.centre)});
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
