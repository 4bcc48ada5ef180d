// LabelTable holds the master data creator's localised texts: the rows of the server table
// I18NText for page context "TQSRemoteCreateMasterData" and one language, read once into a
// static record set that is then disconnected, so labels stay readable without the server.
// GetLabel looks a text up by its label code with the set's filter.
//
// Not thread-safe (GetLabel moves the set's filter and position).
#ifndef TQS_MASTERDATA_LABEL_TABLE_H_
#define TQS_MASTERDATA_LABEL_TABLE_H_

#include <memory>
#include <string>
#include <string_view>

#include "platform/db/recordset.h"

namespace tqs::masterdata {

inline constexpr std::string_view kPageContext = "TQSRemoteCreateMasterData";

class LabelTable {
 public:
  // A table without rows: every label is "".
  LabelTable();
  ~LabelTable();
  LabelTable(LabelTable&&) noexcept;
  LabelTable& operator=(LabelTable&&) noexcept;

  // The SQL text that selects this program's labels of `language`.
  static std::string Query(std::string_view language);

  // Reads the labels of `language` from the server database and disconnects them. Errors of
  // the database pass through.
  static LabelTable Load(std::string_view server_connection_string, std::string_view language);

  // Filters the table to "LABEL='<code>'" and returns field TEXT of the row found; "" when no
  // row matches, when TEXT is null or when anything fails. The code is compared exactly (a
  // trailing blank counts).
  std::string GetLabel(std::string_view code);

 private:
  std::unique_ptr<db::Recordset> labels_;
};

}  // namespace tqs::masterdata

#endif  // TQS_MASTERDATA_LABEL_TABLE_H_
