// A reference ERP for one test, reached as the programs reach it: a store in a fresh folder,
// filled with the test orders below (imported from job sheet documents), and a component
// registry loaded from a registry file that names the built libTQSReferenceErp.so.
//
// Test orders (engineer E1 "Eve Test", NORTH, unless said otherwise):
//   A1  Released; activity 10 (materials 1, 2; labor 3; inspection TEMP/1), activity 20
//       (other 4)
//   A2  Planned; activity 10
//   A3  Cancelled on 2026-03-04 ("Customer & co cancelled")
//   A4  assigned to E2 "Bo Other"
//   A5  Completed
// Tasks: REPR (from the labor line), TRAV.
#ifndef TQS_TESTS_ERP_REFERENCE_ERP_FIXTURE_H_
#define TQS_TESTS_ERP_REFERENCE_ERP_FIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "erp/store.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/object.h"
#include "tests/support/temp_dir.h"

namespace tqs::erp::testing {

using automation::ObjectPtr;
using automation::Variant;

// The job sheet document of A1 exactly as the download writes it.
std::string_view OrderA1Document();
// The job sheet document of A2 exactly as the download writes it.
std::string_view OrderA2Document();

class ReferenceErpTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Writes the registry (with `portion_size`) and loads a fresh component registry from it.
  void LoadRegistry(int portion_size = 20);

  ObjectPtr Create(std::string_view prog_id) const { return components_->Create(prog_id); }

  // Calls `method` with `args` (by reference) and returns the answer.
  static Variant Call(const ObjectPtr& object, std::string_view method,
                      std::vector<Variant> args = {});
  // The object an answer holds; fails the test when there is none.
  static ObjectPtr ObjectOf(const Variant& answer);

  // A second handle on the test store, to look at what the components stored.
  std::unique_ptr<Store> OpenStore() const { return Store::Open(store_file_); }

  test_support::ScopedTempDir folder_;
  std::filesystem::path store_file_;
  std::filesystem::path registry_file_;
  std::unique_ptr<automation::ComponentRegistry> components_;
};

}  // namespace tqs::erp::testing

#endif  // TQS_TESTS_ERP_REFERENCE_ERP_FIXTURE_H_
