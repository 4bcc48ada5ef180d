#include "platform/db/internal/row_filter.h"

#include <charconv>
#include <optional>
#include <string>
#include <variant>

#include "common/error.h"
#include "platform/db/internal/sql_lexer.h"
#include "platform/db/internal/value_mapping.h"

namespace tqs::db::internal {

using automation::Variant;
using automation::VariantType;

namespace {

enum class Op { kEqual, kNotEqual, kLess, kGreater, kLessOrEqual, kGreaterOrEqual, kLike };

using Literal = std::variant<SqlNull, double, std::string>;

std::optional<double> ReadNumber(std::string_view text) {
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// The text inside a '...' literal, with '' undone.
std::string StringLiteralText(std::string_view token) {
  std::string text;
  for (std::size_t i = 1; i + 1 < token.size(); ++i) {
    text += token[i];
    if (token[i] == '\'') ++i;
  }
  return text;
}

// `pattern` with % or * standing for any run of characters, everything else exact.
bool LikeMatches(std::string_view text, std::string_view pattern) {
  std::size_t t = 0, p = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && (pattern[p] == '%' || pattern[p] == '*')) ++p;
  return p == pattern.size();
}

template <typename T>
int ThreeWay(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

bool Holds(Op op, int order) {
  switch (op) {
    case Op::kEqual:
      return order == 0;
    case Op::kNotEqual:
      return order != 0;
    case Op::kLess:
      return order < 0;
    case Op::kGreater:
      return order > 0;
    case Op::kLessOrEqual:
      return order <= 0;
    case Op::kGreaterOrEqual:
      return order >= 0;
    case Op::kLike:
      break;
  }
  return false;
}

bool IsNumericType(VariantType type) {
  return type == VariantType::kInt16 || type == VariantType::kInt32 ||
         type == VariantType::kDouble || type == VariantType::kBoolean;
}

bool CompareNumber(const Variant& field, Op op, double number) {
  std::optional<double> value;
  if (IsNumericType(field.type())) value = field.AsDouble();
  if (field.type() == VariantType::kText) value = ReadNumber(field.AsText());
  return value && Holds(op, ThreeWay(*value, number));
}

bool CompareText(const Variant& field, Op op, const std::string& text) {
  if (field.type() == VariantType::kText) {
    const std::string value = field.AsText();
    return op == Op::kLike ? LikeMatches(value, text) : Holds(op, ThreeWay(value, text));
  }
  if (field.type() == VariantType::kDate) {
    if (op == Op::kLike) return LikeMatches(FormatDateText(field.AsDate()), text);
    const auto date = ParseDateText(text);
    return date && Holds(op, ThreeWay(field.AsDate(), *date));
  }
  if (IsNumericType(field.type())) {
    if (op == Op::kLike) return LikeMatches(field.ToTextOrEmpty(), text);
    const auto number = ReadNumber(text);
    return number && Holds(op, ThreeWay(field.AsDouble(), *number));
  }
  return false;
}

}  // namespace

struct RowFilter::Node {
  enum class Kind { kAnd, kOr, kCompare };
  Kind kind = Kind::kCompare;
  std::vector<Node> children;  // kAnd, kOr
  int column = 0;              // kCompare
  Op op = Op::kEqual;
  Literal literal;

  bool Matches(const std::vector<Variant>& values) const {
    switch (kind) {
      case Kind::kAnd:
        for (const Node& child : children) {
          if (!child.Matches(values)) return false;
        }
        return true;
      case Kind::kOr:
        for (const Node& child : children) {
          if (child.Matches(values)) return true;
        }
        return false;
      case Kind::kCompare:
        break;
    }
    const Variant& field = values.at(static_cast<std::size_t>(column));
    const bool field_null = field.IsNull() || field.IsEmpty();
    if (std::holds_alternative<SqlNull>(literal)) {
      return op == Op::kEqual ? field_null : (op == Op::kNotEqual && !field_null);
    }
    if (field_null) return false;
    if (const auto* number = std::get_if<double>(&literal)) {
      return CompareNumber(field, op, *number);
    }
    return CompareText(field, op, std::get<std::string>(literal));
  }
};

namespace {

using Node = RowFilter::Node;

class CriteriaParser {
 public:
  CriteriaParser(std::string_view criteria, const std::vector<ColumnInfo>& columns)
      : criteria_(criteria), columns_(columns), tokens_(TokenizeSql(criteria)) {}

  Node Parse() {
    Node root = ParseOr();
    if (position_ < tokens_.size()) Fail("unexpected '" + std::string(Peek().text) + "'");
    return root;
  }

 private:
  Node ParseOr() { return ParseJoined("OR", Node::Kind::kOr, &CriteriaParser::ParseAnd); }
  Node ParseAnd() { return ParseJoined("AND", Node::Kind::kAnd, &CriteriaParser::ParsePrimary); }

  Node ParseJoined(std::string_view word, Node::Kind kind, Node (CriteriaParser::*operand)()) {
    Node first = (this->*operand)();
    if (!AtWord(word)) return first;
    Node joined;
    joined.kind = kind;
    joined.children.push_back(std::move(first));
    while (AtWord(word)) {
      ++position_;
      joined.children.push_back((this->*operand)());
    }
    return joined;
  }

  Node ParsePrimary() {
    if (AtSymbol("(")) {
      ++position_;
      Node inner = ParseOr();
      if (!AtSymbol(")")) Fail("a '(' is not closed");
      ++position_;
      return inner;
    }
    Node node;
    node.column = ParseColumn();
    node.op = ParseOperator();
    node.literal = ParseLiteral(node.op);
    return node;
  }

  int ParseColumn() {
    if (position_ >= tokens_.size()) Fail("a comparison is missing at the end");
    const Token& token = tokens_[position_++];
    if (token.kind != TokenKind::kWord && token.kind != TokenKind::kQuotedIdentifier) {
      Fail("expected a column name, found '" + std::string(token.text) + "'");
    }
    const std::string name = UnquotedIdentifier(token);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      if (EqualsIgnoreCase(columns_[i].name, name)) return static_cast<int>(i);
    }
    throw Error(error_number::kItemNotFound,
                "Filter '" + std::string(criteria_) + "': the set has no column '" + name + "'");
  }

  Op ParseOperator() {
    if (position_ < tokens_.size()) {
      const Token& token = tokens_[position_++];
      if (token.IsWord("LIKE")) return Op::kLike;
      if (token.IsSymbol("=")) return Op::kEqual;
      if (token.IsSymbol("<>") || token.IsSymbol("!=")) return Op::kNotEqual;
      if (token.IsSymbol("<")) return Op::kLess;
      if (token.IsSymbol(">")) return Op::kGreater;
      if (token.IsSymbol("<=")) return Op::kLessOrEqual;
      if (token.IsSymbol(">=")) return Op::kGreaterOrEqual;
      Fail("expected one of = <> < > <= >= LIKE, found '" + std::string(token.text) + "'");
    }
    Fail("a comparison has no operator");
  }

  Literal ParseLiteral(Op op) {
    if (position_ >= tokens_.size()) Fail("a comparison has no value");
    const Token& token = tokens_[position_++];
    if (token.kind == TokenKind::kString) {
      if (!token.terminated) Fail("a text value has no closing apostrophe");
      return StringLiteralText(token.text);
    }
    if (op == Op::kLike) Fail("LIKE needs a text in apostrophes");
    if (token.IsWord("NULL")) {
      if (op != Op::kEqual && op != Op::kNotEqual) Fail("NULL compares only with = or <>");
      return SqlNull{};
    }
    std::string number_text;
    if ((token.IsSymbol("-") || token.IsSymbol("+")) && position_ < tokens_.size()) {
      if (token.IsSymbol("-")) number_text = "-";
      number_text += tokens_[position_++].text;
    } else {
      number_text = token.text;
    }
    const std::optional<double> number = ReadNumber(number_text);
    if (!number) Fail("'" + number_text + "' is neither a number nor a text in apostrophes");
    return *number;
  }

  const Token& Peek() const { return tokens_[position_]; }
  bool AtWord(std::string_view word) const {
    return position_ < tokens_.size() && Peek().IsWord(word);
  }
  bool AtSymbol(std::string_view symbol) const {
    return position_ < tokens_.size() && Peek().IsSymbol(symbol);
  }

  [[noreturn]] void Fail(const std::string& what) const {
    throw Error(error_number::kArgumentsWrongType,
                "Filter '" + std::string(criteria_) + "' is not valid: " + what);
  }

  const std::string_view criteria_;
  const std::vector<ColumnInfo>& columns_;
  const std::vector<Token> tokens_;
  std::size_t position_ = 0;
};

}  // namespace

RowFilter RowFilter::Parse(std::string_view criteria, const std::vector<ColumnInfo>& columns) {
  return RowFilter(std::make_shared<const Node>(CriteriaParser(criteria, columns).Parse()));
}

bool RowFilter::Matches(const std::vector<Variant>& values) const { return root_->Matches(values); }

}  // namespace tqs::db::internal
