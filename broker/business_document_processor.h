// A BusinessDocumentProcessor feeds the business document of the pass's current row into the
// ERP and writes the row's result, status and processing time. It works on the window's state
// as the pass left it: the current row of m_oInteractions, the loaded m_oBusinessDocument,
// m_sBusComponent and m_sEmployeeId. It handles its own errors (status box and error log), so
// Process() returns normally and the pass goes on with the next row.
//
// Implementations run on the thread of the window they were made for; not thread-safe. A pass
// with several workers gives each worker processors of its own, made for its private window
// (broker/broker_worker.h).
#ifndef TQS_BROKER_BUSINESS_DOCUMENT_PROCESSOR_H_
#define TQS_BROKER_BUSINESS_DOCUMENT_PROCESSOR_H_

namespace tqs::broker {

class BusinessDocumentProcessor {
 public:
  virtual ~BusinessDocumentProcessor() = default;
  virtual void Process() = 0;
  // Whether the ERP component of this document type recognises a document sent again (it
  // accepts idempotency keys), so that a document in doubt may be handed to it once more.
  virtual bool ErpRecognisesReplays() const = 0;
};

// The processor of each document type the pass hands on.
struct DocumentProcessors {
  BusinessDocumentProcessor& job_sheets;           // type 5
  BusinessDocumentProcessor& general_hours;        // type 10
  BusinessDocumentProcessor& service_inspections;  // type 15
};

}  // namespace tqs::broker

#endif  // TQS_BROKER_BUSINESS_DOCUMENT_PROCESSOR_H_
