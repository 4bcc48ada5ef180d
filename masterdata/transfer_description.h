// The transfer description "MasterDataTransfer.Xml" says how the template database is cut down
// for one service centre. Each element selected by "MasterData/TABLE" describes one table:
//
//   <MasterData>
//     <TABLE condition="yes" source="EMPLOYEES">
//       <ConditionSQL type="DELETE">DELETE FROM EMPLOYEES WHERE CWOC &lt;&gt; {CWOC}</ConditionSQL>
//     </TABLE>
//   </MasterData>
//
// An entry is used when its condition, trimmed and upper-cased, is "YES". Its ConditionSQL is a
// statement in which {CWOC} and {COMP} stand for the service centre and the company; its type,
// trimmed and upper-cased, is DELETE (run the statement on the centre database) or APPEND (copy
// the rows it selects from the template into the emptied table); any other type makes the entry
// do nothing.
//
// Stateless functions; thread-safe.
#ifndef TQS_MASTERDATA_TRANSFER_DESCRIPTION_H_
#define TQS_MASTERDATA_TRANSFER_DESCRIPTION_H_

#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace tqs::masterdata {

inline constexpr std::string_view kTransferDescriptionFileName = "MasterDataTransfer.Xml";

enum class TransferType {
  kDelete,  // run the statement on the centre database
  kAppend,  // empty the table, then copy the statement's rows from the template by position
  kOther,   // any other type: the entry does nothing
};

// One used entry, in document order.
struct TransferEntry {
  std::string source;     // the table in the client database
  std::string statement;  // the text of ConditionSQL, {CWOC} and {COMP} not yet replaced
  TransferType type = TransferType::kOther;
};

// The type that a type attribute's value stands for.
TransferType ParseTransferType(std::string_view value);

// The used entries of `document`. Raises tqs::Error naming the TABLE element (its position
// and source) when a TABLE lacks the condition attribute, or when a used TABLE lacks its
// source, its ConditionSQL element or that element's type.
std::vector<TransferEntry> ReadTransferEntries(const pugi::xml_document& document);

// Loads the transfer description at `path` and reads its entries. A description that is
// missing, not well-formed or whose root element is not MasterData raises tqs::Error naming the
// file and what is wrong (53 for a missing file, else the generic failure): without it the run
// cannot cut anything down, and a centre database that is a plain copy of the template would
// ship every centre's data. Errors of the entries pass through.
std::vector<TransferEntry> LoadTransferDescription(const std::filesystem::path& path);

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_TRANSFER_DESCRIPTION_H_
