#include "tests/erp/reference_erp_fixture.h"

#include "erp/job_sheet_import.h"
#include "erp/seed.h"

namespace tqs::erp::testing {

namespace {

constexpr std::string_view kA1 =
    "<jobsheet><serviceorder id='A1' origin='ERP' type='Service' owner='E1' "
    "allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' ><details>"
    "<osta>Released</osta><nama>Fish &amp; Chips Ltd</nama><pstm>2026-03-09 08:00:00</pstm>"
    "<emno>E1</emno><emna>Eve Test</emna><cwoc>NORTH</cwoc>"
    "<txta>The customer asks for a call half an hour before arrival; the key is with the "
    "caretaker in the house next to the gate, who leaves at four o&apos;clock.</txta>"
    "</details><activities>"
    "<activity id='10' origin='ERP' type='INSP' owner='E1' allowedactions='RDP,RDC,MD' "
    "actionsperformed='' ><details><asta>Released</asta><desc>Inspect &lt;unit&gt;</desc>"
    "</details><materials>"
    "<material lineid='1' origin='ERP' allowedactions='MD' actionsperformed='' >"
    "<item>FLT-02</item><eqan>2</eqan></material>"
    "<material lineid='2' origin='ERP' allowedactions='MD' actionsperformed='' >"
    "<item>CMP-10</item><eqan>1</eqan></material></materials>"
    "<labors><labor lineid='3' origin='ERP' allowedactions='MD' actionsperformed='' >"
    "<ctsk>REPR</ctsk><eqtm>1.5</eqtm></labor></labors>"
    "<inspections><inspection cmea='TEMP' mseq='1' origin='ERP' allowedactions='MD' "
    "actionsperformed='' ></inspection></inspections></activity>"
    "<activity id='20' origin='ERP' type='REPR' owner='E1' allowedactions='RDP,RDC,MD' "
    "actionsperformed='' ><details><asta>Planned</asta></details>"
    "<others><other lineid='4' origin='ERP' allowedactions='MD' actionsperformed='' >"
    "<cotp>TRAVEL</cotp><desc>Fuel &amp; tolls</desc><eqan>170</eqan></other></others>"
    "</activity></activities></serviceorder></jobsheet>";

constexpr std::string_view kA2 =
    "<jobsheet><serviceorder id='A2' origin='ERP' type='Maintenance' owner='E1' "
    "allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' ><details>"
    "<osta>Planned</osta><emno>E1</emno><emna>Eve Test</emna><cwoc>NORTH</cwoc></details>"
    "<activities><activity id='10' origin='ERP' type='MAIN' owner='E1' "
    "allowedactions='RDP,RDC,MD' actionsperformed='' ><details><asta>Released</asta>"
    "</details></activity></activities></serviceorder></jobsheet>";

constexpr std::string_view kOthers =
    "<jobsheet><serviceorder id='A3'><details><osta>Cancelled</osta><emno>E1</emno>"
    "<cdis>Customer &amp; co cancelled</cdis><cadt>2026-03-04</cadt></details>"
    "<activities><activity id='30'/></activities></serviceorder></jobsheet>"
    "<jobsheet><serviceorder id='A4'><details><emno>E2</emno><emna>Bo Other</emna>"
    "<cwoc>SOUTH</cwoc></details><activities><activity id='40'/></activities>"
    "</serviceorder></jobsheet>"
    "<jobsheet><serviceorder id='A5'><details><osta>Completed</osta><emno>E1</emno></details>"
    "<activities><activity id='50'/></activities></serviceorder></jobsheet>";

}  // namespace

std::string_view OrderA1Document() { return kA1; }
std::string_view OrderA2Document() { return kA2; }

void ReferenceErpTest::SetUp() {
  store_file_ = folder_.path() / "erp" / "erp.db";
  registry_file_ = folder_.path() / "bin" / "TQSRemoteComponents.xml";
  {
    const std::unique_ptr<Store> store = Store::Create(store_file_);
    ImportJobSheets(*store, std::string(kA1) + std::string(kA2) + std::string(kOthers),
                    "the test orders");
    store->PutTask("TRAV", "Travel");
  }
  LoadRegistry();
}

void ReferenceErpTest::LoadRegistry(int portion_size) {
  WriteReferenceErpRegistry(registry_file_, TQS_REFERENCE_ERP_LIBRARY, store_file_, portion_size);
  components_ = std::make_unique<automation::ComponentRegistry>();
  components_->LoadFile(registry_file_);
}

Variant ReferenceErpTest::Call(const ObjectPtr& object, std::string_view method,
                               std::vector<Variant> args) {
  return object->Invoke(method, args);
}

ObjectPtr ReferenceErpTest::ObjectOf(const Variant& answer) {
  EXPECT_TRUE(answer.IsObject()) << answer.DebugString();
  return answer.IsObject() ? answer.AsObject() : nullptr;
}

}  // namespace tqs::erp::testing
