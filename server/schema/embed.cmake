# Writes OUTPUT: a C++ source that defines `const char* const NAME` holding INPUT's text, so the
# schema and default texts travel inside the programs and no installed data file is needed.
file(READ "${INPUT}" content)
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; edit that file instead.\n"
  "namespace tqs::server::schema_text {\n"
  "extern const char* const ${NAME};\n"
  "const char* const ${NAME} = R\"tqs_embedded(${content})tqs_embedded\";\n"
  "}  // namespace tqs::server::schema_text\n")
