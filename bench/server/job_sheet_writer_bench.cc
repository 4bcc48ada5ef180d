// The job sheet document writer of the download (BuildServiceOrderXml) against plain string
// appends of the same text, in one run on the same data: --docs documents of --activities
// activities, each activity with details and five lines (two materials, a labour, an other and
// an inspection line), every details and line element present.
//   product  BuildServiceOrderXml over ERP data objects that answer each getter and presence
//            test by name, lists by size and index. They are modelled on compiled components:
//            one method table per kind of object (name to slot, looked up by the called name on
//            every call) and each object's answers in its own slots, copied out per call. A
//            fast ERP, so the time is the writer's own and its late-bound calls (a hash map
//            per object would spend about 60 per cent of the product's time on cache misses in
//            the stand-in's own look-ups);
//   raw      the same document text appended from plain C++ structs holding the same values,
//            every value escaped with EscapeXmlText as the writer escapes it; no late binding.
// The two texts are compared before timing: the raw text is the product's, byte for byte.
// Distinct service orders are built once and written in turn, so data objects for every
// document are never held at once.
//
// Prints one line: path, product rate, raw rate, ratio, conditions.
//
//   job_sheet_writer_bench [--docs=N] [--activities=N]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "common/erp/job_sheets.h"
#include "common/text.h"
#include "platform/automation/object.h"
#include "server/download/job_sheet_document.h"
#include "server/download/job_sheet_writer_internal.h"

namespace {

namespace js = tqs::erp::job_sheets;
namespace dl = tqs::server::download::internal;
using tqs::automation::ObjectPtr;
using tqs::automation::Variant;
using Clock = std::chrono::steady_clock;

int g_docs = 10'000;
int g_activities = 20;
constexpr int kDistinctOrders = 16;

// ---- The values of a document, as plain structs (the raw side writes from these).

struct Value {
  dl::ValueForm form;
  std::string text;                 // kEscaped, kAsDelivered
  std::vector<std::string> chunks;  // kTextList
};

struct Element {
  std::string_view code;
  tqs::erp::Property property;
  Value value;
};

struct Attribute {
  std::string_view name;  // the XML attribute ("" for none)
  std::string_view getter;
  std::string text;
};

struct Line {
  std::string_view name;  // material, labor, other, inspection
  std::vector<Attribute> attributes;
  std::vector<Element> elements;
};

struct LineList {
  std::string_view wrapper;
  tqs::erp::Property holder;
  tqs::erp::List entries;
  std::vector<Line> lines;
};

struct Activity {
  std::vector<Attribute> attributes;
  std::vector<Element> details;
  std::vector<LineList> lists;
};

struct Order {
  std::vector<Attribute> attributes;
  std::vector<Element> details;
  std::vector<Activity> activities;
};

std::vector<Element> Elements(std::span<const dl::ElementRow> rows, const std::string& seed) {
  std::vector<Element> elements;
  for (const dl::ElementRow& row : rows) {
    Value value{row.form, {}, {}};
    switch (row.form) {
      case dl::ValueForm::kEscaped:
        value.text = "Smith & Sons <" + seed + "> 'north'";
        break;
      case dl::ValueForm::kAsDelivered:
        value.text = "2026-12-08 " + seed;
        break;
      case dl::ValueForm::kTextList:
        value.chunks = {"Check the seals & the ", "pressure <" + seed + "> of the ",
                        "pneumatic circuit"};
        break;
    }
    elements.push_back(Element{row.code, row.property, std::move(value)});
  }
  return elements;
}

std::vector<Attribute> LineAttributes(const std::string& id) {
  namespace a = js::attribute;
  return {{"lineid", a::kCostLine.get, id},
          {"origin", a::kOrigin.get, "ERP"},
          {"allowedactions", a::kAllowedActions.get, "RDC"},
          {"actionsperformed", a::kActionsPerformed.get, ""}};
}

Line CostLine(std::string_view name, std::span<const dl::ElementRow> rows, const std::string& id) {
  return Line{name, LineAttributes(id), Elements(rows, id)};
}

Order MakeOrder(int n) {
  namespace a = js::attribute;
  namespace g = js::graph;
  const std::string id = std::to_string(4711000 + n);
  Order order;
  order.attributes = {{"id", a::kServiceOrder.get, "SO&" + id},
                      {"origin", a::kOrigin.get, "ERP"},
                      {"type", a::kType.get, "N"},
                      {"owner", a::kOwner.get, "E10001"},
                      {"allowedactions", a::kAllowedActions.get, "RDP,MD"},
                      {"actionsperformed", a::kActionsPerformed.get, ""},
                      {"invoiceid = ", a::kInvoiceid.get, "INV" + id}};
  order.details = Elements(dl::OrderDetailsElements(), id);
  for (int i = 1; i <= g_activities; ++i) {
    const std::string act = std::to_string(i * 10);
    Activity activity;
    activity.attributes = {{"id", a::kActivity.get, act},
                           {"origin", a::kOrigin.get, "ERP"},
                           {"type", a::kType.get, "REP"},
                           {"owner", a::kOwner.get, "E10001"},
                           {"allowedactions", a::kAllowedActions.get, "RDC"},
                           {"actionsperformed", a::kActionsPerformed.get, ""}};
    activity.details = Elements(dl::ActivityDetailsElements(), act);
    activity.lists.push_back(
        {"materials", g::kMaterialRequirement, g::kMaterialData,
         {CostLine("material", dl::MaterialElements(), act + "1"),
          CostLine("material", dl::MaterialElements(), act + "2")}});
    activity.lists.push_back({"labors", g::kLaborRequirement, g::kLaborData,
                              {CostLine("labor", dl::LaborElements(), act + "3")}});
    activity.lists.push_back({"others", g::kOtherRequirement, g::kOtherData,
                              {CostLine("other", dl::OtherElements(), act + "4")}});
    Line inspection{"inspection",
                    {{"cmea", a::kMeasurementType.get, "TEMP&" + act},
                     {"mseq", a::kInspectionNo.get, "1"},
                     {"origin", a::kOrigin.get, "ERP"},
                     {"allowedactions", a::kAllowedActions.get, "RDC"},
                     {"actionsperformed", a::kActionsPerformed.get, ""}},
                    Elements(dl::InspectionElements(), act)};
    activity.lists.push_back(
        {"inspections", g::kObjectInspectionsData, g::kInspectionData, {std::move(inspection)}});
    order.activities.push_back(std::move(activity));
  }
  return order;
}

// ---- The raw side: the document text by plain appends.

void RawElements(std::string& out, const std::vector<Element>& elements) {
  for (const Element& element : elements) {
    out += '<';
    out += element.code;
    out += '>';
    switch (element.value.form) {
      case dl::ValueForm::kEscaped:
        out += tqs::EscapeXmlText(element.value.text);
        break;
      case dl::ValueForm::kAsDelivered:
        out += tqs::EscapeXmlText(element.value.text);
        break;
      case dl::ValueForm::kTextList:
        for (const std::string& chunk : element.value.chunks) out += tqs::EscapeXmlText(chunk);
        break;
    }
    out += "</";
    out += element.code;
    out += '>';
  }
}

// ` name='value'` for each attribute, then " >".
void RawAttributes(std::string& out, const std::vector<Attribute>& attributes) {
  for (const Attribute& attribute : attributes) {
    out += ' ';
    out += attribute.name;
    if (attribute.name.back() != ' ') out += '=';
    out += '\'';
    out += tqs::EscapeXmlText(attribute.text);
    out += '\'';
  }
  out += " >";
}

void RawDetails(std::string& out, const std::vector<Element>& details) {
  out += "<details>";
  RawElements(out, details);
  out += "</details>";
}

void RawDocument(std::string& out, const Order& order) {
  out += "<jobsheet><serviceorder";
  RawAttributes(out, order.attributes);
  RawDetails(out, order.details);
  out += "<activities>";
  for (const Activity& activity : order.activities) {
    out += "<activity";
    RawAttributes(out, activity.attributes);
    RawDetails(out, activity.details);
    for (const LineList& list : activity.lists) {
      out += '<';
      out += list.wrapper;
      out += '>';
      for (const Line& line : list.lines) {
        out += '<';
        out += line.name;
        RawAttributes(out, line.attributes);
        RawElements(out, line.elements);
        out += "</";
        out += line.name;
        out += '>';
      }
      out += "</";
      out += list.wrapper;
      out += '>';
    }
    out += "</activity>";
  }
  out += "</activities></serviceorder></jobsheet>";
}

// ---- The product side: ERP data objects holding the same values.

// Method names hashed as views, so a look-up builds no string.
struct NameHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view name) const {
    return std::hash<std::string_view>{}(name);
  }
};

// The methods of one kind of ERP object (a service order, its details, an activity, a material
// line, ...): the slot of each answer by method name, shared by all objects of the kind.
struct Class {
  std::unordered_map<std::string, std::size_t, NameHash, std::equal_to<>> slots;
};
Class& ClassNamed(const std::string& name) {
  static std::unordered_map<std::string, Class> classes;
  return classes[name];
}

class Bag final : public tqs::automation::Object {
 public:
  explicit Bag(const std::string& kind) : class_(ClassNamed(kind)) {}
  void Answer(std::string_view method, Variant value) {
    const std::size_t slot =
        class_.slots.try_emplace(std::string(method), class_.slots.size()).first->second;
    if (slot >= answers_.size()) answers_.resize(slot + 1);
    answers_[slot] = std::move(value);
  }
  void Entries(const tqs::erp::List& list, std::vector<Variant> entries) {
    size_method_ = list.size;
    at_method_ = list.at;
    entries_ = std::move(entries);
  }

  Variant Invoke(std::string_view method, std::span<Variant> args) override {
    if (method == size_method_) return Variant(static_cast<std::int32_t>(entries_.size()));
    if (method == at_method_) return entries_.at(static_cast<std::size_t>(args[0].AsInt32()));
    const auto found = class_.slots.find(method);
    if (found == class_.slots.end() || found->second >= answers_.size()) return Variant();
    return answers_[found->second];
  }

 private:
  Class& class_;
  std::vector<Variant> answers_;
  std::string_view size_method_;
  std::string_view at_method_;
  std::vector<Variant> entries_;
};

std::shared_ptr<Bag> BagOf(const std::string& kind, const std::vector<Attribute>& attributes) {
  auto bag = std::make_shared<Bag>(kind);
  for (const Attribute& attribute : attributes) bag->Answer(attribute.getter, attribute.text);
  return bag;
}

void AnswerElements(Bag& bag, const std::vector<Element>& elements) {
  for (const Element& element : elements) {
    bag.Answer(element.property.has, Variant(true));
    if (element.value.form != dl::ValueForm::kTextList) {
      bag.Answer(element.property.get, Variant(element.value.text));
      continue;
    }
    std::vector<Variant> chunks;
    for (const std::string& text : element.value.chunks) {
      auto chunk = std::make_shared<Bag>("chunk");
      chunk->Answer(js::graph::kGetText, Variant(text));
      chunks.emplace_back(ObjectPtr(chunk));
    }
    auto container = std::make_shared<Bag>("list");
    container->Entries(js::graph::kTextValue, std::move(chunks));
    bag.Answer(element.property.get, Variant(ObjectPtr(container)));
  }
}

Variant DetailsBag(const std::string& kind, const std::vector<Element>& details) {
  auto bag = std::make_shared<Bag>(kind);
  AnswerElements(*bag, details);
  return Variant(ObjectPtr(bag));
}

Variant OrderObject(const Order& order) {
  namespace g = js::graph;
  auto bag = BagOf("order", order.attributes);
  bag->Answer(g::kOrderDetails.get, DetailsBag("order details", order.details));
  std::vector<Variant> activities;
  for (const Activity& activity : order.activities) {
    auto activity_bag = BagOf("activity", activity.attributes);
    activity_bag->Answer(g::kActivityDetails.get, DetailsBag("activity details", activity.details));
    for (const LineList& list : activity.lists) {
      std::vector<Variant> lines;
      for (const Line& line : list.lines) {
        auto line_bag = BagOf(std::string(line.name), line.attributes);
        AnswerElements(*line_bag, line.elements);
        lines.emplace_back(ObjectPtr(line_bag));
      }
      auto list_bag = std::make_shared<Bag>("list");
      list_bag->Entries(list.entries, std::move(lines));
      activity_bag->Answer(list.holder.has, Variant(true));
      activity_bag->Answer(list.holder.get, Variant(ObjectPtr(list_bag)));
    }
    activities.emplace_back(ObjectPtr(activity_bag));
  }
  auto activities_bag = std::make_shared<Bag>("list");
  activities_bag->Entries(g::kActivityData, std::move(activities));
  bag->Answer(g::kActivitiesData.has, Variant(true));
  bag->Answer(g::kActivitiesData.get, Variant(ObjectPtr(activities_bag)));
  return Variant(ObjectPtr(bag));
}

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--docs=", 7) == 0) g_docs = std::atoi(argv[i] + 7);
    else if (std::strncmp(argv[i], "--activities=", 13) == 0)
      g_activities = std::atoi(argv[i] + 13);
  }
  std::vector<Order> orders;
  std::vector<Variant> objects;
  for (int n = 0; n < kDistinctOrders; ++n) {
    orders.push_back(MakeOrder(n));
    objects.push_back(OrderObject(orders.back()));
  }
  // The raw text must be the writer's, byte for byte.
  for (int n = 0; n < kDistinctOrders; ++n) {
    std::string product, raw;
    if (!tqs::server::download::BuildServiceOrderXml(objects[n], product)) {
      std::fprintf(stderr, "writer failed: %s\n", product.c_str());
      return 1;
    }
    RawDocument(raw, orders[n]);
    if (product != raw) {
      std::size_t at = 0;
      while (at < product.size() && at < raw.size() && product[at] == raw[at]) ++at;
      std::fprintf(stderr, "the raw text differs from the writer's at %zu:\n  writer %s\n  raw    %s\n",
                   at, product.substr(at > 40 ? at - 40 : 0, 120).c_str(),
                   raw.substr(at > 40 ? at - 40 : 0, 120).c_str());
      return 1;
    }
  }

  double bytes = 0;
  std::string text;
  const auto product_start = Clock::now();
  for (int d = 0; d < g_docs; ++d) {
    text.clear();
    if (!tqs::server::download::BuildServiceOrderXml(objects[d % kDistinctOrders], text)) return 1;
    bytes += static_cast<double>(text.size());
  }
  const double product_s = Seconds(product_start);
  double raw_bytes = 0;
  std::string raw;
  const auto raw_start = Clock::now();
  for (int d = 0; d < g_docs; ++d) {
    raw.clear();  // one text reused, as the writer writes each document over the last one
    RawDocument(raw, orders[d % kDistinctOrders]);
    raw_bytes += static_cast<double>(raw.size());
  }
  const double raw_s = Seconds(raw_start);
  if (raw_bytes != bytes) return 1;
  std::printf("job sheet writer (BuildServiceOrderXml)\t%.0f docs/s\t%.0f docs/s\t%.3f\t%d "
              "documents of %d activities x 5 lines, avg %.1f KB; raw: plain appends from "
              "structs with EscapeXmlText\n",
              g_docs / product_s, g_docs / raw_s, raw_s / product_s, g_docs, g_activities,
              bytes / g_docs / 1024);
  return 0;
}
