// OrderMapping turns the head parts of an uploaded job sheet into data objects of the ERP job
// sheet component, created by programmatic identifier and filled through their setters:
//
//   GetOrderDetails     the service order's `details` element -> OrderDetails (with OrderText)
//   GetActivityDetails  an activity's `details` element -> ActivityDetails (with ActivityText,
//                       CallText and SolutionText)
//   GetPaymentDetails   one child node of `payments` -> PaymentData
//
// Value elements follow the element rule (broker/element_rule.h) and travel as the text the
// document holds, except the payment amounts `amnt` and `hamt`, which are read as numbers with
// the locale-aware conversion and passed as doubles. Multi-line texts (`txta`, `txtb`, `txtc`)
// are cut into TextValue chunks of at most 100 characters, added to their container in order,
// and the container is handed to the details object (also when the text is empty).
//
// Failures: the two details mappers report their own failures (status box and error log: "Error
// : <description> in GetOrderDetails", "Error <description> in GetActivityDetails") and return
// no object; the setters called before the failure are not undone. GetPaymentDetails reports
// nothing itself: its failures are raised to the caller, which fails the whole job sheet. An
// entry the error log cannot take goes to standard error.
//
// Borrows the window, the log and the registry; runs on the window's thread, not thread-safe.
#ifndef TQS_BROKER_ORDER_MAPPING_H_
#define TQS_BROKER_ORDER_MAPPING_H_

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "broker/broker_window.h"
#include "broker/error_log.h"
#include "broker/failure_reporter.h"
#include "common/conversions.h"
#include "platform/automation/component_registry.h"
#include "platform/automation/object.h"

namespace tqs::broker {

// The longest text one TextValue holds, in characters.
inline constexpr std::size_t kTextChunkLength = 100;

// `text` cut into pieces of kTextChunkLength characters, the last one holding what is left; no
// piece for the empty text. Characters are counted as UTF-8 code points, so a character is
// never split between two pieces. Line breaks count like any other character.
std::vector<std::string> SplitIntoTextChunks(std::string_view text);

class OrderMapping {
 public:
  // Everything but the settings is borrowed and must outlive the mapping. The settings govern
  // how payment amounts are read.
  OrderMapping(frmTQSRemoteBroker& window, const ErrorLog& error_log,
               const automation::ComponentRegistry& components, RegionalSettings settings);

  // The OrderDetails of the service order's `details` element; nullptr when the element has no
  // child node at all (nothing is created then) or after a reported failure.
  automation::ObjectPtr GetOrderDetails(pugi::xml_node i_oOrderNode) const;

  // The ActivityDetails of an activity's `details` element; nullptr as for GetOrderDetails.
  automation::ObjectPtr GetActivityDetails(pugi::xml_node i_oActivityNode) const;

  // The PaymentData of one payment node, always created. An amount that is not a number in the
  // current locale (the empty text included) raises tqs::Error 13 naming the element and its
  // text; ERP failures are raised as they come.
  automation::ObjectPtr GetPaymentDetails(pugi::xml_node oPayment) const;

 private:
  // Cuts the text of the first `code` child of `parent` into chunks added to a TextValue each in
  // `container`, then calls `setter` on `details` with the container. Nothing happens when
  // `parent` has no such child.
  void SetText(pugi::xml_node parent, std::string_view code, const automation::ObjectPtr& container,
               std::string_view setter, automation::Object& details) const;

  frmTQSRemoteBroker& window_;
  const ErrorLog& error_log_;
  const automation::ComponentRegistry& components_;
  const RegionalSettings settings_;
  const FailureReporter reporter_;
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_ORDER_MAPPING_H_
