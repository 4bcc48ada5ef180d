#include "admin/users.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "common/error.h"
#include "server/jobsheet.h"
#include "server/user_defaults.h"
#include "tests/server/server_database_fixture.h"
#include "tests/support/error_testing.h"

namespace tqs::admin {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class UsersTest : public testing::ServerDatabaseTest {
 protected:
  void AddPending(const std::string& employee, int count, int status = 5) {
    auto connection = Connect();
    for (int i = 0; i < count; ++i) {
      connection->Execute(
          "INSERT INTO CLIENTSERVERINTERACTION (EMPLOYEEID, BUSINESSDOCUMENTTYPE, "
          "INTERACTIONON, INTERACTIONID, BUSINESSDOCUMENTCONTENTS, "
          "INTERACTIONSTATUS) VALUES ('" +
          employee + "', 10, 'ON', " + std::to_string(next_id_++) + ", '<hour/>', " +
          std::to_string(status) + ")");
    }
  }
  std::vector<std::string> Listed() {
    auto connection = Connect();
    std::vector<std::string> lines;
    for (const User& user : ListUsers(*connection)) {
      lines.push_back(user.login + " " + user.employee + " " + user.bus_component + " " +
                      (user.disabled ? "disabled" : "enabled") + " " +
                      std::to_string(user.pending_documents));
    }
    return lines;
  }
  // What the server answers a login's assignments call: "" when the login was accepted
  // (the empty document is then refused by the ERP step, not by the login).
  std::string LoginRefusal(const std::string& login) {
    pugi::xml_document assignments;
    assignments.append_child("assignments");
    automation::Variant feedback;
    automation::Variant errors;
    job_sheet_.updateAssignments(login, assignments, dsn_, feedback, errors);
    const std::string text = errors.IsNull() ? "" : errors.ToTextOrEmpty();
    return text.find("requires a current record") == std::string::npos ? "" : text;
  }

  automation::ComponentRegistry registry_;
  server::JobSheet job_sheet_{registry_};
  int next_id_ = 1;
};

TQS_INSTANTIATE_FOR_BACKENDS(UsersTest);

TEST_P(UsersTest, ListsByLoginWithTheEmployeesPendingDocuments) {
  AddUser(dsn_, "o'brien", "E2", "BC2");
  AddUser(dsn_, "ada", "E1", "BC1");
  AddUser(dsn_, "ada2", "E1", "BC1");
  AddPending("E1", 2);
  AddPending("E1", 1, 10);  // processed: not pending
  AddPending("E9", 1);      // an employee without a login
  EXPECT_THAT(Listed(), ElementsAre("ada E1 BC1 enabled 2", "ada2 E1 BC1 enabled 2",
                                    "o'brien E2 BC2 enabled 0"));
  auto connection = Connect();
  const std::string table = FormatUsers(ListUsers(*connection));
  EXPECT_THAT(table, HasSubstr("o'brien"));
  EXPECT_EQ(ToJson(ListUsers(*connection))[0]["pendingDocuments"], 2);
  EXPECT_THAT(FormatUsers({}), HasSubstr("no users"));
}

TEST_P(UsersTest, DuplicateOrEmptyLoginIsRefusedWithTheReasonAndNothingChanges) {
  AddUser(dsn_, "ada", "E1", "BC1");
  const std::string duplicate = ErrorDescriptionOf([&] { AddUser(dsn_, "ada", "E7", "BC7"); });
  EXPECT_THAT(duplicate, HasSubstr("The login 'ada' exists already (employee E1, business "
                                   "component BC1)"));
  EXPECT_THAT(ErrorDescriptionOf([&] { AddUser(dsn_, " ", "E7", "BC7"); }),
              HasSubstr("login of a user cannot be empty"));
  EXPECT_THAT(ErrorDescriptionOf([&] { AddUser(dsn_, "bram", "E2", ""); }),
              HasSubstr("business component of a user cannot be empty"));
  EXPECT_THAT(Listed(), ElementsAre("ada E1 BC1 enabled 0"));
}

TEST_P(UsersTest, DisabledLoginIsRefusedLikeAnUnknownOneUntilEnabled) {
  AddUser(dsn_, "ada", "E1", "BC1");
  auto connection = Connect();
  EXPECT_EQ(LoginRefusal("ada"), "");

  EXPECT_TRUE(SetUserDisabled(*connection, "ada", true, "operator1"));
  EXPECT_FALSE(SetUserDisabled(*connection, "ada", true, "operator1"));  // already
  EXPECT_THAT(Listed(), ElementsAre("ada E1 BC1 disabled 0"));
  // Each method that takes a login refuses it with the error of an unknown login.
  EXPECT_EQ(ErrorNumberOf([&] { server::LookUpLogin(*connection, "ada"); }),
            ErrorNumberOf([&] { server::LookUpLogin(*connection, "nobody"); }));
  EXPECT_THAT(ErrorDescriptionOf([&] { server::LookUpLogin(*connection, "ada"); }),
              HasSubstr("the login 'ada' is disabled"));
  EXPECT_THAT(LoginRefusal("ada"), HasSubstr("the login 'ada' is disabled"));
  automation::Variant numbers =
      "<recordids><order>9</order><invoice>9</invoice><quotation>9</quotation></recordids>";
  EXPECT_EQ(ErrorNumberOf([&] { job_sheet_.UpdateLastUsedNumbersInServer("ada", dsn_, numbers); }),
            error_number::kNoCurrentRecord);
  EXPECT_EQ(Scalar("SELECT LASTJSID FROM USERDEFAULTS WHERE LOGN = 'ada'"), "0");

  EXPECT_TRUE(SetUserDisabled(*connection, "ada", false, "operator2"));
  EXPECT_EQ(LoginRefusal("ada"), "");
  EXPECT_EQ(server::LookUpLogin(*connection, "ada").employee, "E1");
  // Who did what, in order.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM OPERATORACTIONS"), "2");
  EXPECT_EQ(Scalar("SELECT OPERATOR || ' ' || ACTION FROM OPERATORACTIONS ORDER BY ACTIONKEY "
                   "LIMIT 1"),
            "operator1 user-disable");
  EXPECT_EQ(Scalar("SELECT OPERATOR || ' ' || ACTION FROM OPERATORACTIONS ORDER BY ACTIONKEY "
                   "DESC LIMIT 1"),
            "operator2 user-enable");
  EXPECT_THAT(ErrorDescriptionOf([&] { SetUserDisabled(*connection, "nobody", true, "op"); }),
              HasSubstr("No user has the login 'nobody'"));
}

TEST_P(UsersTest, RemovalThatWouldStrandPendingDocumentsNeedsForceAndKeepsThem) {
  AddUser(dsn_, "ada", "E1", "BC1");
  AddUser(dsn_, "ada-tablet", "E1", "BC1");
  AddUser(dsn_, "carla", "E3", "BC3");
  AddPending("E1", 2);
  AddPending("E3", 3);
  auto connection = Connect();

  // Another login of E1 remains: its documents still find their business component.
  EXPECT_EQ(RemoveUser(*connection, "ada-tablet", false, "op").stranded_documents, 0);

  const std::string refusal =
      ErrorDescriptionOf([&] { RemoveUser(*connection, "carla", false, "op"); });
  EXPECT_THAT(refusal, HasSubstr("The login 'carla' was not removed: employee E3 has 3 "
                                 "document(s) waiting for the broker"));
  EXPECT_THAT(refusal, HasSubstr("--force"));
  EXPECT_THAT(Listed(), ElementsAre("ada E1 BC1 enabled 2", "carla E3 BC3 enabled 3"));

  const UserRemoval removal = RemoveUser(*connection, "carla", true, "op");
  EXPECT_EQ(removal.stranded_documents, 3);
  EXPECT_EQ(removal.user.employee, "E3");
  EXPECT_THAT(Listed(), ElementsAre("ada E1 BC1 enabled 2"));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM CLIENTSERVERINTERACTION WHERE EMPLOYEEID = 'E3' AND "
                   "INTERACTIONSTATUS = 5"),
            "3");
  EXPECT_EQ(Scalar("SELECT DETAILS FROM OPERATORACTIONS WHERE ACTION = 'user-remove' ORDER BY "
                   "ACTIONKEY DESC LIMIT 1"),
            "login carla; employee E3; business component BC3");
  EXPECT_THAT(ErrorDescriptionOf([&] { RemoveUser(*connection, "carla", true, "op"); }),
              HasSubstr("No user has the login 'carla'"));
}

}  // namespace
}  // namespace tqs::admin
