// A loadable library that lacks the component entry point, for the registry's error path.
extern "C" __attribute__((visibility("default"))) int TQSNotAComponentLibrary() { return 1; }
