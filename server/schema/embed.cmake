# Writes OUTPUT: a C++ source that defines `const char* const NAME` in NAMESPACE (default
# tqs::server::schema_text) holding INPUT's text, so the schema, the default texts and the
# console's pages travel inside the programs and no installed data file is needed.
if(NOT DEFINED NAMESPACE)
  set(NAMESPACE "tqs::server::schema_text")
endif()
file(READ "${INPUT}" content)
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; edit that file instead.\n"
  "namespace ${NAMESPACE} {\n"
  "extern const char* const ${NAME};\n"
  "const char* const ${NAME} = R\"tqs_embedded(${content})tqs_embedded\";\n"
  "}  // namespace ${NAMESPACE}\n")
