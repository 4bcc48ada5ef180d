// The demo service orders of a new installation, as job sheet documents: the customers,
// items, service centres and employees of the sample master data (company 100, centres NORTH
// and SOUTH).
#include "erp/seed.h"

namespace tqs::erp {

std::string_view DemoOrderDocuments() {
  return R"xml(<jobsheets>
<jobsheet><serviceorder id='SO1001' origin='ERP' type='Service' allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' >
  <details>
    <osta>Released</osta><ofbp>C1001</ofbp><nama>Harbour Cold Stores</nama><ccur>EUR</ccur>
    <lcad>Aberdeen</lcad><ofcn>Morag Baird</ofcn><refa>Cold room 2 alarm</refa>
    <ordt>2026-03-02</ordt><pstm>2026-03-09 08:00:00</pstm><pftm>2026-03-09 12:00:00</pftm>
    <emno>E001</emno><cwoc>NORTH</cwoc><csar>ABERDEEN</csar><emer>yes</emer>
    <txta>Cold room 2 reports high temperature since the weekend. Call Morag on arrival; the goods entrance is at the back of the building.</txta>
  </details>
  <activities>
    <activity id='10' origin='ERP' type='INSP' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details>
        <asta>Released</asta><desc>Inspect compressor</desc>
        <pstm>2026-03-09 08:00:00</pstm><pftm>2026-03-09 10:00:00</pftm>
        <crob>CMP-10</crob><oseq>1</oseq><cstp>INSP</cstp><rprl>Temperature too high</rprl>
      </details>
      <materials>
        <material lineid='1' origin='ERP' allowedactions='MD' actionsperformed='' ><item>FLT-02</item><eqan>2</eqan><cuqs>pcs</cuqs><pris>18.5</pris><awrh>NORTH</awrh></material>
      </materials>
      <labors>
        <labor lineid='2' origin='ERP' allowedactions='MD' actionsperformed='' ><ctsk>INSP</ctsk><chlt>NORMAL</chlt><eqtm>1.5</eqtm><aswr>65</aswr></labor>
      </labors>
      <inspections>
        <inspection cmea='TEMP' mseq='1' origin='ERP' allowedactions='MD' actionsperformed='' ></inspection>
        <inspection cmea='PRESSURE' mseq='2' origin='ERP' allowedactions='MD' actionsperformed='' ></inspection>
      </inspections>
    </activity>
    <activity id='20' origin='ERP' type='REPR' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details>
        <asta>Planned</asta><desc>Replace filter cartridge</desc>
        <pstm>2026-03-09 10:00:00</pstm><pftm>2026-03-09 12:00:00</pftm>
        <crob>CMP-10</crob><oseq>1</oseq><cstp>REPR</cstp>
      </details>
      <materials>
        <material lineid='3' origin='ERP' allowedactions='MD' actionsperformed='' ><item>FLT-02</item><eqan>1</eqan><cuqs>pcs</cuqs><pris>18.5</pris><awrh>NORTH</awrh></material>
      </materials>
      <others>
        <other lineid='4' origin='ERP' allowedactions='MD' actionsperformed='' ><cotp>TRAVEL</cotp><desc>Travel Inverness to Aberdeen</desc><cuni>km</cuni><eqan>170</eqan><pris>0.45</pris></other>
      </others>
    </activity>
  </activities>
</serviceorder></jobsheet>
<jobsheet><serviceorder id='SO1002' origin='ERP' type='Maintenance' allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' >
  <details>
    <osta>Planned</osta><ofbp>C1002</ofbp><nama>Moor Dairy</nama><ccur>EUR</ccur>
    <lcad>Inverness</lcad><ordt>2026-03-03</ordt><pstm>2026-03-10 09:00:00</pstm>
    <pftm>2026-03-10 13:00:00</pftm><emno>E001</emno><cwoc>NORTH</cwoc><csar>INVERNESS</csar>
    <emer>no</emer><csco>MC-2026-014</csco>
  </details>
  <activities>
    <activity id='10' origin='ERP' type='MAIN' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details><asta>Released</asta><desc>Scheduled maintenance of milk cooling</desc><crob>CMP-10</crob><oseq>2</oseq><cstp>MAIN</cstp></details>
      <labors>
        <labor lineid='1' origin='ERP' allowedactions='MD' actionsperformed='' ><ctsk>MAIN</ctsk><chlt>NORMAL</chlt><eqtm>3</eqtm><aswr>65</aswr></labor>
      </labors>
    </activity>
  </activities>
</serviceorder></jobsheet>
<jobsheet><serviceorder id='SO1003' origin='ERP' type='Service' allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' >
  <details>
    <osta>Cancelled</osta><ofbp>C1002</ofbp><nama>Moor Dairy</nama><emno>E001</emno>
    <cwoc>NORTH</cwoc><cdis>Customer solved it himself</cdis><cadt>2026-03-04</cadt>
  </details>
  <activities>
    <activity id='10' origin='ERP' type='REPR' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details><asta>Planned</asta><desc>Repair door seal</desc></details>
    </activity>
  </activities>
</serviceorder></jobsheet>
<jobsheet><serviceorder id='SO2001' origin='ERP' type='Service' allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' >
  <details>
    <osta>Released</osta><ofbp>C1001</ofbp><nama>Harbour Cold Stores</nama><ccur>EUR</ccur>
    <lcad>Aberdeen</lcad><ordt>2026-03-02</ordt><pstm>2026-03-11 08:00:00</pstm>
    <pftm>2026-03-11 16:00:00</pftm><emno>E002</emno><cwoc>NORTH</cwoc><csar>ABERDEEN</csar>
    <emer>no</emer>
  </details>
  <activities>
    <activity id='10' origin='ERP' type='REPR' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details><asta>Released</asta><desc>Replace compressor in cold room 1</desc><crob>CMP-10</crob><oseq>3</oseq><cstp>REPR</cstp></details>
      <materials>
        <material lineid='1' origin='ERP' allowedactions='MD' actionsperformed='' ><item>CMP-10</item><eqan>1</eqan><cuqs>pcs</cuqs><pris>1250</pris><awrh>NORTH</awrh></material>
      </materials>
      <labors>
        <labor lineid='2' origin='ERP' allowedactions='MD' actionsperformed='' ><ctsk>REPR</ctsk><chlt>NORMAL</chlt><eqtm>6</eqtm><aswr>65</aswr></labor>
      </labors>
    </activity>
  </activities>
</serviceorder></jobsheet>
<jobsheet><serviceorder id='SO3001' origin='ERP' type='Service' allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' >
  <details>
    <osta>Released</osta><ofbp>C1003</ofbp><nama>Bayside Bakery</nama><ccur>EUR</ccur>
    <lcad>Plymouth</lcad><ordt>2026-03-05</ordt><pstm>2026-03-12 07:00:00</pstm>
    <pftm>2026-03-12 11:00:00</pftm><emno>E003</emno><cwoc>SOUTH</cwoc><csar>PLYMOUTH</csar>
    <emer>no</emer><txta>Oven hall cooling: yearly inspection and the valve the baker reported.</txta>
  </details>
  <activities>
    <activity id='10' origin='ERP' type='INSP' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details><asta>Released</asta><desc>Yearly inspection</desc><crob>CMP-10</crob><oseq>4</oseq><cstp>INSP</cstp></details>
      <inspections>
        <inspection cmea='TEMP' mseq='1' origin='ERP' allowedactions='MD' actionsperformed='' ></inspection>
      </inspections>
    </activity>
    <activity id='20' origin='ERP' type='REPR' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details><asta>Released</asta><desc>Check expansion valve</desc><crob>CMP-10</crob><oseq>4</oseq><cstp>REPR</cstp></details>
      <labors>
        <labor lineid='1' origin='ERP' allowedactions='MD' actionsperformed='' ><ctsk>REPR</ctsk><chlt>NORMAL</chlt><eqtm>1</eqtm><aswr>60</aswr></labor>
      </labors>
    </activity>
  </activities>
</serviceorder></jobsheet>
<jobsheet><serviceorder id='SO3002' origin='ERP' type='Maintenance' allowedactions='RDP,RDC,MD' actionsperformed='' invoiceid = '' >
  <details>
    <osta>In Process</osta><ofbp>C1003</ofbp><nama>Bayside Bakery</nama><ccur>EUR</ccur>
    <lcad>Plymouth</lcad><ordt>2026-03-01</ordt><emno>E003</emno><cwoc>SOUTH</cwoc>
    <csar>PLYMOUTH</csar><emer>no</emer>
  </details>
  <activities>
    <activity id='10' origin='ERP' type='MAIN' allowedactions='RDP,RDC,MD' actionsperformed='' >
      <details><asta>In Process</asta><desc>Clean condensers</desc><cstp>MAIN</cstp></details>
      <others>
        <other lineid='1' origin='ERP' allowedactions='MD' actionsperformed='' ><cotp>MISC</cotp><desc>Cleaning agent</desc><eqan>1</eqan><pris>12</pris></other>
      </others>
    </activity>
  </activities>
</serviceorder></jobsheet>
</jobsheets>
)xml";
}

}  // namespace tqs::erp
