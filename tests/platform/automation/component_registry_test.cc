#include "platform/automation/component_registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "common/error.h"
#include "platform/automation/data_object.h"
#include "tests/support/error_testing.h"
#include "tests/support/temp_dir.h"

namespace tqs::automation {
namespace {

using test_support::ErrorDescriptionOf;
using test_support::ErrorNumberOf;
using test_support::ScopedTempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace en = error_number;

// Serves the identifiers it was given; each object tells which factory made it.
class NamedFactory : public ComponentFactory {
 public:
  NamedFactory(std::string name, std::vector<std::string> known)
      : name_(std::move(name)), known_(std::move(known)) {}

  ObjectPtr Create(std::string_view prog_id) override {
    if (std::find(known_.begin(), known_.end(), prog_id) == known_.end()) return nullptr;
    auto object = std::make_shared<DataObject>(std::string(prog_id));
    object->Set("Factory", name_);
    return object;
  }

 private:
  const std::string name_;
  const std::vector<std::string> known_;
};

std::string ServedBy(const ComponentRegistry& registry, std::string_view prog_id) {
  return registry.Create(prog_id)->Call("getFactory").AsText();
}

TEST(ComponentRegistryTest, LongestPrefixServesAndUnknownIdentifiersRaise429) {
  ComponentRegistry registry;
  registry.Register("Erp.", std::make_shared<NamedFactory>(
                                "general", std::vector<std::string>{"Erp.A", "Erp.Jobs.B"}));
  registry.Register("Erp.Jobs.",
                    std::make_shared<NamedFactory>("jobs", std::vector<std::string>{"Erp.Jobs.A"}));

  EXPECT_EQ(ServedBy(registry, "Erp.A"), "general");
  EXPECT_EQ(ServedBy(registry, "Erp.Jobs.A"), "jobs");
  EXPECT_EQ(registry.Create("Erp.Jobs.A")->ProgId(), "Erp.Jobs.A");
  EXPECT_THAT(registry.Prefixes(), ElementsAre("Erp.", "Erp.Jobs."));

  // The longest prefix owns its identifiers even when a shorter one would know them.
  EXPECT_EQ(ErrorNumberOf([&] { registry.Create("Erp.Jobs.B"); }), en::kCannotCreateComponent);
  EXPECT_THAT(ErrorDescriptionOf([&] { registry.Create("Erp.Jobs.B"); }),
              HasSubstr("'Erp.Jobs.B'"));
  EXPECT_EQ(ErrorNumberOf([&] { registry.Create("Other.A"); }), en::kCannotCreateComponent);
  EXPECT_EQ(ErrorDescriptionOf([&] { registry.Create("Other.A"); }),
            "Cannot create component 'Other.A': no component library is registered for it");
  // Prefixes compare exactly.
  EXPECT_EQ(ErrorNumberOf([&] { registry.Create("erp.A"); }), en::kCannotCreateComponent);

  EXPECT_EQ(ErrorNumberOf([&] {
              registry.Register(
                  "Erp.", std::make_shared<NamedFactory>("again", std::vector<std::string>{}));
            }),
            en::kInvalidProcedureCall);
  EXPECT_EQ(ServedBy(registry, "Erp.A"), "general");
}

TEST(ComponentRegistryTest, TheServingFactorysRegistrationSaysWhetherKeysAreAccepted) {
  ComponentRegistry registry;
  registry.Register("Erp.", std::make_shared<NamedFactory>("general", std::vector<std::string>{}),
                    ComponentOptions{.accepts_idempotency_keys = true});
  registry.Register("Erp.Jobs.",
                    std::make_shared<NamedFactory>("jobs", std::vector<std::string>{}));
  registry.Register("Hours.", std::make_shared<NamedFactory>("hours", std::vector<std::string>{}),
                    ComponentOptions{.accepts_idempotency_keys = true});

  EXPECT_TRUE(registry.AcceptsIdempotencyKeys("Erp.Manager"));
  EXPECT_TRUE(registry.AcceptsIdempotencyKeys("Hours.Manager"));
  // The longest prefix decides, as for Create, whether or not its factory knows the class.
  EXPECT_FALSE(registry.AcceptsIdempotencyKeys("Erp.Jobs.Manager"));
  EXPECT_FALSE(registry.AcceptsIdempotencyKeys("Other.Manager"));
  EXPECT_FALSE(registry.AcceptsIdempotencyKeys("erp.Manager"));
}

class ComponentRegistryFileTest : public ::testing::Test {
 protected:
  // A registry file in the temporary folder naming the test module by a relative path.
  std::filesystem::path WriteRegistry(std::string_view components) {
    return dir_.WriteFile("config/components.xml",
                          "<components>" + std::string(components) + "</components>");
  }
  std::string ModuleRelativeToConfig() const {
    return std::filesystem::relative(TQS_TEST_MODULE, dir_.path() / "config").string();
  }

  ScopedTempDir dir_;
  ComponentRegistry registry_;
};

TEST_F(ComponentRegistryFileTest, LoadsLibraryAndPassesSettingsThrough) {
  const std::string library = ModuleRelativeToConfig();
  ASSERT_TRUE(std::filesystem::path(library).is_relative());
  registry_.LoadFile(WriteRegistry("<component prefix='Fixture.' library='" + library +
                                   "'><setting key='Store' value='../data/erp.db'/></component>"
                                   "<component prefix='Second.' library='" +
                                   std::string(TQS_TEST_MODULE) +
                                   "'><setting key='Store' value='other'/></component>"));
  EXPECT_THAT(registry_.Prefixes(), ElementsAre("Fixture.", "Second."));

  ObjectPtr echo = registry_.Create("Fixture.Echo");
  EXPECT_EQ(echo->ProgId(), "Fixture.Echo");
  EXPECT_EQ(echo->Call("getSetting", {Variant("Store")}), Variant("../data/erp.db"));
  EXPECT_TRUE(echo->Call("getSetting", {Variant("Missing")}).IsNull());
  EXPECT_EQ(registry_.Create("Second.Echo")->Call("getSetting", {Variant("Store")}),
            Variant("other"));

  // By-reference arguments come back changed, and the library's errors keep their number.
  std::vector<Variant> args{Variant(std::int32_t{21})};
  echo->Invoke("Double", args);
  EXPECT_EQ(args[0], Variant(std::int32_t{42}));
  EXPECT_EQ(ErrorNumberOf([&] { echo->Call("Fail"); }), 1234);
  EXPECT_EQ(ErrorNumberOf([&] { echo->Call("Nope"); }), en::kMethodNotSupported);

  EXPECT_THAT(ErrorDescriptionOf([&] { registry_.Create("Fixture.Unknown"); }),
              HasSubstr("'Fixture.Unknown'"));
}

TEST_F(ComponentRegistryFileTest, WhateverALibraryThrowsComesBackAsAnError) {
  registry_.LoadFile(WriteRegistry("<component prefix='Fixture.' library='" +
                                   std::string(TQS_TEST_MODULE) + "'/>"));
  const ObjectPtr echo = registry_.Create("Fixture.Echo");
  const auto expect_non_error = [](ObjectPtr object, std::string_view method) {
    try {
      object->Call(method);
      ADD_FAILURE() << method << " did not raise";
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), en::kGenericFailure);
      EXPECT_EQ(error.description(),
                "The component Fixture.Echo raised an exception that is not an error object "
                "while running method " +
                    std::string(method) + ".");
    }
  };
  expect_non_error(echo, "ThrowInt");
  EXPECT_EQ(ErrorNumberOf([&] { echo->Call("ThrowStd"); }), en::kGenericFailure);
  EXPECT_EQ(ErrorDescriptionOf([&] { echo->Call("ThrowStd"); }), "Echo broke");
  EXPECT_EQ(ErrorNumberOf([&] { echo->Call("Fail"); }), 1234);

  // Objects the library hands out are guarded as well, and its own objects reach it as it
  // made them.
  const ObjectPtr child = echo->Call("Child").AsObject();
  expect_non_error(child, "ThrowInt");
  std::vector<Variant> args{Variant(child)};
  EXPECT_EQ(echo->Invoke("IsEcho", args), Variant(true));
  EXPECT_EQ(args[0].AsObject(), child);

  EXPECT_EQ(ErrorNumberOf([&] { registry_.Create("Fixture.Unmakeable"); }), en::kGenericFailure);
  EXPECT_THAT(ErrorDescriptionOf([&] { registry_.Create("Fixture.Unmakeable"); }),
              HasSubstr("'Fixture.Unmakeable' raised an exception that is not an error object"));
}

TEST_F(ComponentRegistryFileTest, EntriesSayWhetherTheirComponentsAcceptKeysAndThreads) {
  const std::string module = TQS_TEST_MODULE;
  registry_.LoadFile(WriteRegistry("<component prefix='Keys.' library='" + module +
                                   "' idempotencyKeys='true' threads='single'/>"
                                   "<component prefix='Keys.Old.' library='" +
                                   module +
                                   "' idempotencyKeys='false' threads='multiple'/>"
                                   "<component prefix='Plain.' library='" +
                                   module + "'/>"));
  EXPECT_TRUE(registry_.AcceptsIdempotencyKeys("Keys.Echo"));
  EXPECT_FALSE(registry_.AcceptsIdempotencyKeys("Keys.Old.Echo"));
  EXPECT_FALSE(registry_.AcceptsIdempotencyKeys("Plain.Echo"));
  EXPECT_TRUE(registry_.RunsOnOneThread("Keys.Echo"));
  EXPECT_FALSE(registry_.RunsOnOneThread("Keys.Old.Echo"));
  EXPECT_FALSE(registry_.RunsOnOneThread("Plain.Echo"));
  EXPECT_FALSE(registry_.RunsOnOneThread("Unserved.Echo"));
  EXPECT_EQ(registry_.Create("Keys.Echo")->ProgId(), "Keys.Echo");
}

TEST_F(ComponentRegistryFileTest, BadFilesRaiseNamingWhatWasWrongAndRegisterNothing) {
  registry_.Register("Fixture.",
                     std::make_shared<NamedFactory>("code", std::vector<std::string>{}));
  const std::string module = TQS_TEST_MODULE;
  struct Case {
    std::string name;
    std::string content;  // empty: the file does not exist
    std::int32_t number;
    std::string in_description;
  };
  const Case cases[] = {
      {"missing", "", en::kFileNotFound, "missing.xml"},
      {"broken", "<components><component", en::kGenericFailure, "broken.xml"},
      {"wrong root", "<registry/>", en::kGenericFailure, "<registry>"},
      {"no library", "<components><component prefix='A.'/></components>", en::kGenericFailure,
       "prefix 'A.'"},
      {"bad setting",
       "<components><component prefix='A.' library='" + module +
           "'><option key='x'/></component></components>",
       en::kGenericFailure, "<option>"},
      {"not loadable",
       "<components><component prefix='A.' library='nowhere/libnone.so'/></components>", 48,
       "libnone.so"},
      {"no entry point",
       "<components><component prefix='A.' library='" +
           std::string(TQS_TEST_MODULE_WITHOUT_ENTRY_POINT) + "'/></components>",
       453, "TQSCreateComponentFactory"},
      {"refused",
       "<components><component prefix='A.' library='" + module +
           "'><setting key='Refuse' value='yes'/></component></components>",
       en::kCannotCreateComponent, "prefix 'A.'"},
      {"unclear keys",
       "<components><component prefix='A.' library='" + module +
           "' idempotencyKeys='yes'/></components>",
       en::kGenericFailure, "idempotencyKeys=\"yes\""},
      {"unclear threads",
       "<components><component prefix='A.' library='" + module + "' threads='many'/></components>",
       en::kGenericFailure, "threads=\"many\""},
      {"duplicate in file",
       "<components><component prefix='A.' library='" + module +
           "'/><component prefix='A.' library='" + module + "'/></components>",
       en::kInvalidProcedureCall, "'A.'"},
      {"duplicate of registered",
       "<components><component prefix='B.' library='" + module +
           "'/><component prefix='Fixture.' library='" + module + "'/></components>",
       en::kInvalidProcedureCall, "'Fixture.'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::filesystem::path file =
        c.content.empty() ? dir_.path() / "missing.xml"
                          : dir_.WriteFile(c.name.substr(0, c.name.find(' ')) + ".xml", c.content);
    EXPECT_EQ(ErrorNumberOf([&] { registry_.LoadFile(file); }), c.number);
    EXPECT_THAT(ErrorDescriptionOf([&] { registry_.LoadFile(file); }), HasSubstr(c.in_description));
    EXPECT_THAT(registry_.Prefixes(), ElementsAre("Fixture."));
  }
}

}  // namespace
}  // namespace tqs::automation
