// The server database description: the tables CLIENTSERVERINTERACTION, USERDEFAULTS,
// PARAMETERS, I18NText, OPERATORACTIONS and SCHEMAVERSION with their indexes, the default
// PARAMETERS rows and the default (English) status and log texts. CreateServerSchema brings any
// database reachable through a Connection to that state: on an empty database it creates
// everything; on one that already has it, it only adds what is missing and never changes or
// drops an existing row, so it is safe to run on every installation and upgrade (columns added
// since are the migrations' work, server/schema/schema_version.h). A database made before
// CLIENTSERVERINTERACTION kept received-at times or the broker's attempts gains those columns; its
// rows from before have none (NULL). Every database gets a random installation id (PARAMETERS
// InstallationId) once.
#ifndef TQS_SERVER_SCHEMA_SERVER_SCHEMA_H_
#define TQS_SERVER_SCHEMA_SERVER_SCHEMA_H_

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/interaction_types.h"
#include "platform/db/connection.h"

namespace tqs::server {

// What CreateServerSchema added.
struct SchemaReport {
  int labels_added = 0;
  int labels_present = 0;
};

// One default text: locale id, page context, label code, text.
struct DefaultLabel {
  int locale_id;
  std::string page_context;
  std::string label;
  std::string text;
};

// The default texts shipped with the product.
std::vector<DefaultLabel> DefaultLabels();

// The columns of `table` as the database has them, in upper case; none when the table does not
// exist.
std::set<std::string> TableColumns(db::Connection& connection, std::string_view table);

// Creates what is missing, in one transaction. Raises tqs::Error with the provider's message.
SchemaReport CreateServerSchema(db::Connection& connection);

}  // namespace tqs::server

#endif  // TQS_SERVER_SCHEMA_SERVER_SCHEMA_H_
