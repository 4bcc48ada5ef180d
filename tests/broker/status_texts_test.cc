#include "broker/status_texts.h"

#include <gtest/gtest.h>

#include "platform/db/connection.h"
#include "platform/db/recordset.h"
#include "server/schema/server_schema.h"
#include "tests/broker/broker_test_installation.h"
#include "tests/support/error_testing.h"

namespace tqs::broker {
namespace {

using testing::TestInstallation;

// Loads the texts of locale 1033 as the start-up does.
StatusTexts LoadTexts(const TestInstallation& installation) {
  auto connection = db::Connection::Open(installation.dsn());
  auto labels = db::Recordset::Open(StatusTexts::LabelQuery("1033"), *connection,
                                    db::CursorType::kKeyset, db::LockType::kOptimistic);
  StatusTexts texts;
  texts.Load(*labels);
  return texts;
}

std::string DefaultText(const std::string& label) {
  for (const auto& row : server::DefaultLabels()) {
    if (row.label == label && row.locale_id == 1033) return row.text;
  }
  return "<no default " + label + ">";
}

TEST(StatusTextsTest, LabelQueryIsTheLabelRangeOfTheLocaleInLabelOrder) {
  EXPECT_EQ(StatusTexts::LabelQuery("1033"),
            "select LOCALEID, LABEL, TEXT from I18NText where LOCALEID = 1033 and LABEL BETWEEN "
            "'SLKRU0500' and 'SLKRU0517' ORDER BY LABEL ");
}

TEST(StatusTextsTest, SlotsFollowTheRowPositionSoAMissingLabelShiftsTheLaterTexts) {
  TestInstallation installation;
  // Labels of another locale and outside the range are not part of the table.
  installation.Execute(
      "INSERT INTO I18NText (LOCALEID, LABEL, TEXT, pagecontext) VALUES "
      "(1031, 'SLKRU0502', 'Datenbank', 'TQSRemoteBroker'), "
      "(1033, 'SLKRU0518', 'after the range', 'TQSRemoteBroker'), "
      "(1033, 'SLKRU0499', 'before the range', 'TQSRemoteBroker')");
  StatusTexts all = LoadTexts(installation);
  for (int slot = 0; slot <= 17; ++slot) {
    EXPECT_EQ(all.at(slot),
              DefaultText("SLKRU05" + std::string(slot < 10 ? "0" : "") + std::to_string(slot)))
        << slot;
  }
  EXPECT_EQ(all.at(18), "");
  EXPECT_EQ(all[StatusSlot::kPassFinished], DefaultText("SLKRU0515"));

  installation.Execute("DELETE FROM I18NText WHERE LOCALEID = 1033 AND LABEL = 'SLKRU0503'");
  StatusTexts shifted = LoadTexts(installation);
  EXPECT_EQ(shifted.at(2), DefaultText("SLKRU0502"));
  EXPECT_EQ(shifted[StatusSlot::kManualProcessing], DefaultText("SLKRU0505"));
  EXPECT_EQ(shifted[StatusSlot::kPassFinished], DefaultText("SLKRU0516"));
  EXPECT_EQ(shifted.at(16), DefaultText("SLKRU0517"));
  EXPECT_EQ(shifted.at(17), "");
}

TEST(StatusTextsTest, SixtyOneRowsFitAndASixtySecondIsASubscriptError) {
  TestInstallation installation;
  // 18 labels + 43 = 61 rows, all within the label range (sorted between 0516 and 0517).
  for (int i = 1; i <= 43; ++i) {
    installation.Execute(
        "INSERT INTO I18NText (LOCALEID, LABEL, TEXT, pagecontext) VALUES "
        "(1033, 'SLKRU0516_" +
        std::to_string(100 + i) + "', 'extra " + std::to_string(i) + "', 'TQSRemoteBroker')");
  }
  const StatusTexts full = LoadTexts(installation);
  EXPECT_EQ(full.at(59), "extra 43");
  EXPECT_EQ(full.at(60), DefaultText("SLKRU0517"));

  installation.Execute(
      "INSERT INTO I18NText (LOCALEID, LABEL, TEXT, pagecontext) VALUES "
      "(1033, 'SLKRU0516_200', 'one too many', 'TQSRemoteBroker')");
  EXPECT_EQ(test_support::ErrorNumberOf([&] { LoadTexts(installation); }),
            error_number::kSubscriptOutOfRange);
}

}  // namespace
}  // namespace tqs::broker
