#include "masterdata/sample_data.h"

#include <fstream>

#include "common/error.h"
#include "masterdata/settings.h"
#include "masterdata/transfer_description.h"
#include "platform/db/connection.h"

namespace tqs::masterdata {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTemplateScript = R"sql(
CREATE TABLE SERVICECENTERS (COMP TEXT NOT NULL, CWOC TEXT NOT NULL, NAME TEXT,
                             PRIMARY KEY (COMP, CWOC));
INSERT INTO SERVICECENTERS VALUES ('100', 'NORTH', 'Service centre North');
INSERT INTO SERVICECENTERS VALUES ('100', 'SOUTH', 'Service centre South');
INSERT INTO SERVICECENTERS VALUES ('200', 'WEST', 'Service centre West');

CREATE TABLE EMPLOYEES (EMNO TEXT PRIMARY KEY, NAME TEXT, COMP TEXT, CWOC TEXT);
INSERT INTO EMPLOYEES VALUES ('E001', 'Ada Lindqvist', '100', 'NORTH');
INSERT INTO EMPLOYEES VALUES ('E002', 'Bram Oosterhuis', '100', 'NORTH');
INSERT INTO EMPLOYEES VALUES ('E003', 'Carla Mendes', '100', 'SOUTH');
INSERT INTO EMPLOYEES VALUES ('E004', 'Dirk O''Neill', '200', 'WEST');

CREATE TABLE CUSTOMERS (CUNO TEXT PRIMARY KEY, NAME TEXT, CITY TEXT, CWOC TEXT);
INSERT INTO CUSTOMERS VALUES ('C1001', 'Harbour Cold Stores', 'Aberdeen', 'NORTH');
INSERT INTO CUSTOMERS VALUES ('C1002', 'Moor Dairy', 'Inverness', 'NORTH');
INSERT INTO CUSTOMERS VALUES ('C1003', 'Bayside Bakery', 'Plymouth', 'SOUTH');
INSERT INTO CUSTOMERS VALUES ('C2001', 'Riverside Hotel', 'Galway', 'WEST');
INSERT INTO CUSTOMERS VALUES ('C2002', 'Quay Fisheries', 'Limerick', 'WEST');

CREATE TABLE ITEMS (ITNO TEXT NOT NULL, COMP TEXT NOT NULL, DESCRIPTION TEXT, PRICE REAL,
                    PRIMARY KEY (ITNO, COMP));
INSERT INTO ITEMS VALUES ('CMP-10', '100', 'Compressor 10 kW', 1250.0);
INSERT INTO ITEMS VALUES ('FLT-02', '100', 'Filter cartridge', 18.5);
INSERT INTO ITEMS VALUES ('CMP-10', '200', 'Compressor 10 kW', 1310.0);
INSERT INTO ITEMS VALUES ('VLV-07', '200', 'Expansion valve', 64.0);

CREATE TABLE ACTIVITYCODES (CODE TEXT PRIMARY KEY, DESCRIPTION TEXT);
INSERT INTO ACTIVITYCODES VALUES ('INSP', 'Inspection');
INSERT INTO ACTIVITYCODES VALUES ('REPR', 'Repair');
INSERT INTO ACTIVITYCODES VALUES ('MAIN', 'Scheduled maintenance');
)sql";

constexpr std::string_view kTransferDescription = R"xml(<?xml version="1.0" encoding="utf-8"?>
<!-- How the template database ClientDatabase.mdb is cut down for one service centre.
     condition="yes" switches an entry on. {CWOC} and {COMP} stand for the service centre and
     its company. DELETE runs the statement on the centre's database; APPEND empties the table
     and copies the rows the statement selects from the template, field by field in the order
     selected (list the columns in the table's order). -->
<MasterData>
  <TABLE condition="yes" source="SERVICECENTERS">
    <ConditionSQL type="DELETE">DELETE FROM SERVICECENTERS WHERE CWOC &lt;&gt; {CWOC}</ConditionSQL>
  </TABLE>
  <TABLE condition="yes" source="EMPLOYEES">
    <ConditionSQL type="DELETE">DELETE FROM EMPLOYEES WHERE CWOC &lt;&gt; {CWOC}</ConditionSQL>
  </TABLE>
  <TABLE condition="yes" source="CUSTOMERS">
    <ConditionSQL type="APPEND">SELECT CUNO, NAME, CITY, CWOC FROM CUSTOMERS WHERE CWOC = {CWOC}</ConditionSQL>
  </TABLE>
  <TABLE condition="yes" source="ITEMS">
    <ConditionSQL type="APPEND">SELECT ITNO, COMP, DESCRIPTION, PRICE FROM ITEMS WHERE COMP = {COMP}</ConditionSQL>
  </TABLE>
  <TABLE condition="no" source="ACTIVITYCODES">
    <ConditionSQL type="DELETE">DELETE FROM ACTIVITYCODES</ConditionSQL>
  </TABLE>
</MasterData>
)xml";

}  // namespace

std::string_view SampleTemplateScript() { return kTemplateScript; }

std::string_view SampleTransferDescription() { return kTransferDescription; }

std::string WriteSampleMasterData(const fs::path& program_folder) {
  std::string written;
  std::error_code error;
  const fs::path database = program_folder / std::string(kTemplateDatabaseFileName);
  if (!fs::exists(database, error)) {
    const fs::path staging = fs::path(database) += ".part";
    fs::remove(staging, error);
    {
      auto connection =
          db::Connection::OpenOrCreate(std::string(kClientConnectionPrefix) + staging.string());
      connection->ExecuteBatch(kTemplateScript);
      connection->Close();
    }
    fs::rename(staging, database, error);
    if (error) {
      throw Error(error_number::kPathNotFound, "Cannot write the sample template database '" +
                                                   database.string() + "': " + error.message());
    }
    written += database.filename().string();
  }
  const fs::path description = program_folder / std::string(kTransferDescriptionFileName);
  if (!fs::exists(description, error)) {
    std::ofstream out(description, std::ios::binary);
    out << kTransferDescription;
    if (!out.flush()) {
      throw Error(error_number::kPathNotFound,
                  "Cannot write the sample transfer description '" + description.string() + "'");
    }
    written += (written.empty() ? "" : " and ") + description.filename().string();
  }
  if (written.empty()) {
    return "Kept the master data template and transfer description in " + program_folder.string();
  }
  return "Wrote the sample master data " + written + " to " + program_folder.string();
}

}  // namespace tqs::masterdata
