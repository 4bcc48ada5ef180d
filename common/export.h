// TQS_EXPORT marks the types and functions that cross a shared-library boundary: the JobSheet
// class of the server library, and the types that component libraries loaded at run time share
// with the programs (errors, values, objects, factories). Everything else is built with hidden
// visibility.
#ifndef TQS_COMMON_EXPORT_H_
#define TQS_COMMON_EXPORT_H_

#define TQS_EXPORT __attribute__((visibility("default")))

#endif  // TQS_COMMON_EXPORT_H_
