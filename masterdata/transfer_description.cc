#include "masterdata/transfer_description.h"

#include "common/error.h"
#include "common/text.h"
#include "platform/xml/xml.h"

namespace tqs::masterdata {
namespace {

constexpr std::string_view kRootElement = "MasterData";

std::string TrimmedUpper(std::string_view value) { return AsciiUpperCase(Trim(value)); }

// The object that a missing attribute or element would have been: reading it fails as
// reading an unset object does.
Error MissingItem(std::size_t position, pugi::xml_node table, std::string_view what) {
  std::string where = "TABLE element " + std::to_string(position);
  if (const pugi::xml_attribute source = table.attribute("source")) {
    where += " (source '" + std::string(source.value()) + "')";
  }
  return Error(error_number::kObjectNotSet, "Object variable not set: " + where + " of " +
                                                std::string(kTransferDescriptionFileName) +
                                                " has no " + std::string(what));
}

}  // namespace

TransferType ParseTransferType(std::string_view value) {
  const std::string type = TrimmedUpper(value);
  if (type == "DELETE") return TransferType::kDelete;
  if (type == "APPEND") return TransferType::kAppend;
  return TransferType::kOther;
}

std::vector<TransferEntry> ReadTransferEntries(const pugi::xml_document& document) {
  std::vector<TransferEntry> entries;
  std::size_t position = 0;
  for (const pugi::xpath_node& selected : xml::SelectNodes(document, "MasterData/TABLE")) {
    const pugi::xml_node table = selected.node();
    if (table.type() != pugi::node_element) continue;
    ++position;
    const pugi::xml_attribute condition = table.attribute("condition");
    if (!condition) throw MissingItem(position, table, "condition attribute");
    if (TrimmedUpper(condition.value()) != "YES") continue;

    const pugi::xml_attribute source = table.attribute("source");
    if (!source) throw MissingItem(position, table, "source attribute");
    const pugi::xml_node statement = xml::FirstChildElement(table, "ConditionSQL");
    if (!statement) throw MissingItem(position, table, "ConditionSQL element");
    const pugi::xml_attribute type = statement.attribute("type");
    if (!type) throw MissingItem(position, table, "type attribute on its ConditionSQL");
    entries.push_back(
        TransferEntry{source.value(), xml::Text(statement), ParseTransferType(type.value())});
  }
  return entries;
}

std::vector<TransferEntry> LoadTransferDescription(const std::filesystem::path& path) {
  const std::string prefix = "The transfer description '" + path.string() + "' ";
  std::error_code ignored;
  if (!std::filesystem::exists(path, ignored)) {
    throw Error(error_number::kFileNotFound, prefix + "does not exist");
  }
  pugi::xml_document document;
  std::string fault;
  if (!xml::LoadXmlFile(document, path, &fault)) {
    throw Error(error_number::kGenericFailure, prefix + "cannot be read: " + fault);
  }
  const std::string root = document.document_element().name();
  if (root != kRootElement) {
    throw Error(error_number::kGenericFailure, prefix + "has the root element <" + root +
                                                   ">, not <" + std::string(kRootElement) + ">");
  }
  return ReadTransferEntries(document);
}

}  // namespace tqs::masterdata
