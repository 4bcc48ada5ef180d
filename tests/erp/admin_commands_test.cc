// The reference ERP's command of TQSRemoteAdmin: `erp import FILE... [--store STORE]`.
#include "erp/admin_commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "erp/store.h"
#include "tests/erp/reference_erp_fixture.h"
#include "tests/support/error_testing.h"

namespace tqs::erp::testing {
namespace {

namespace fs = std::filesystem;
using test_support::ErrorDescriptionOf;
using ::testing::HasSubstr;

constexpr char kNewOrderAndCancellation[] =
    "<jobsheets><append><jobsheet><serviceorder id='B7'><details><emno>E7</emno>"
    "<emna>Kim New</emna></details></serviceorder></jobsheet></append>"
    "<cancellations><serviceorder id='A1' cadt='2026-03-10' cdis='Duplicate' /></cancellations>"
    "</jobsheets>";
constexpr char kOrderOfAKnownEngineer[] =
    "<jobsheet><serviceorder id='B8'><details><emno>E1</emno></details></serviceorder>"
    "</jobsheet>";

class ErpAdminCommandsTest : public ReferenceErpTest {
 protected:
  // Parses `TQSRemoteAdmin erp ARGS...` as the program does and runs the command chosen;
  // returns what it printed.
  std::string Run(std::vector<std::string> args) const {
    CLI::App app;
    CLI::App* erp = app.add_subcommand("erp");
    const AdminCommands commands(*erp, registry_file_);
    args.insert(args.begin(), {"TQSRemoteAdmin", "erp"});
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    app.parse(static_cast<int>(argv.size()), argv.data());
    EXPECT_TRUE(commands.Chosen());
    std::ostringstream out;
    commands.Run(out);
    return out.str();
  }
};

TEST_F(ErpAdminCommandsTest, ImportsIntoTheStoreTheRegistryNamesOrTheOneGiven) {
  const fs::path first = folder_.WriteFile("first.xml", kNewOrderAndCancellation);
  const fs::path second = folder_.WriteFile("second.xml", kOrderOfAKnownEngineer);

  // Without --store: the store of the registry beside the program, a line per file in order.
  EXPECT_EQ(Run({"import", first.string(), second.string()}),
            first.string() + ": 1 service orders imported, 1 cancelled, engineer E7 added into " +
                store_file_.string() + "\n" + second.string() +
                ": 1 service orders imported into " + store_file_.string() + "\n");
  const std::unique_ptr<Store> store = OpenStore();
  EXPECT_EQ(store->FindServiceOrder("A1")->status, "Cancelled");
  EXPECT_EQ(store->FindServiceOrder("B7")->employee, "E7");
  EXPECT_TRUE(store->FindServiceOrder("B8"));

  // --store names another store, created when missing; the registry's store is not touched.
  const fs::path other = folder_.path() / "other" / "erp.db";
  fs::create_directories(other.parent_path());
  EXPECT_EQ(Run({"import", second.string(), "--store", other.string()}),
            second.string() + ": 1 service orders imported, engineer E1 added into " +
                other.string() + "\n");
  EXPECT_TRUE(Store::Open(other)->FindServiceOrder("B8"));
}

TEST_F(ErpAdminCommandsTest, ReportsWhatStopsAnImport) {
  // A bad file after a good one: the error names it, and the good file stays imported.
  const fs::path good = folder_.WriteFile("good.xml", kOrderOfAKnownEngineer);
  const fs::path bad = folder_.WriteFile("bad.xml", "<jobsheet><serviceorder id='B9'>");
  EXPECT_THAT(ErrorDescriptionOf([&] {
                Run({"import", good.string(), bad.string()});
              }),
              HasSubstr("bad.xml"));
  EXPECT_TRUE(OpenStore()->FindServiceOrder("B8"));
  EXPECT_FALSE(OpenStore()->FindServiceOrder("B9"));

  // No registry beside the program: the error names the file it looked for.
  fs::remove(registry_file_);
  EXPECT_THAT(ErrorDescriptionOf([&] {
                Run({"import", good.string()});
              }),
              HasSubstr(registry_file_.string()));

  // A file that does not exist is refused by the command line, before any store is opened.
  EXPECT_THROW(Run({"import", (folder_.path() / "missing.xml").string()}), CLI::ValidationError);
}

}  // namespace
}  // namespace tqs::erp::testing
