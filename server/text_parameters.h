// The check every public JobSheet method makes of its text parameters before it uses them. A
// text must be well-formed UTF-8 and free of NUL characters: the databases do not agree on
// either (SQLite keeps a NUL, PostgreSQL ends the text there, so a document would be filed
// under another employee; PostgreSQL refuses bytes that are no UTF-8 where SQLite stores
// them), and text that is not UTF-8 cannot be answered as JSON or XML. Refusing such a value
// where it enters makes every backend and every host behave alike.
#ifndef TQS_SERVER_TEXT_PARAMETERS_H_
#define TQS_SERVER_TEXT_PARAMETERS_H_

#include <initializer_list>
#include <string>
#include <string_view>

namespace tqs::server {

struct TextParameter {
  std::string_view name;  // the parameter's name, as the caller knows it ("i_sEmployee")
  std::string_view value;
};

// Raises tqs::Error 5 (invalid procedure call or argument) naming the first parameter that
// holds a NUL character or is not well-formed UTF-8, and what is wrong with it.
void CheckTextParameters(std::initializer_list<TextParameter> parameters);

// The same check for the methods that answer a failure with false and its description: false,
// with the description in error_text, when a parameter is refused.
bool TextParametersAccepted(std::initializer_list<TextParameter> parameters,
                            std::string& error_text);

}  // namespace tqs::server

#endif  // TQS_SERVER_TEXT_PARAMETERS_H_
