#include "platform/automation/data_object.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "common/error.h"

namespace tqs::automation {

namespace {

// "Wrong number of arguments or invalid property assignment".
constexpr std::int32_t kWrongNumberOfArguments = 450;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(),
                    [](char a, char b) { return Lower(a) == Lower(b); });
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<long>(suffix.size()),
                    [](char a, char b) { return Lower(a) == Lower(b); });
}

// The accessor shapes, by their lower-case name prefix.
enum class Accessor { kSet, kGet, kGetAt, kHas, kAdd, kSize };

struct Pattern {
  Accessor accessor;
  std::string_view prefix;
  std::size_t arguments;
};

// Looked up in this order; "get...At" with one argument is tried before plain "get" so that a
// property may itself end in "At" (getDataAt() reads the property DataAt).
constexpr Pattern kPatterns[] = {
    {Accessor::kSet, "set", 1}, {Accessor::kGetAt, "get", 1}, {Accessor::kGet, "get", 0},
    {Accessor::kHas, "has", 0}, {Accessor::kAdd, "add", 1},   {Accessor::kSize, "size", 0},
};

template <typename T>
std::vector<std::string> NamesOf(const T& entries) {
  std::vector<std::string> names;
  names.reserve(entries.size());
  for (const auto& entry : entries) names.push_back(entry.first);
  return names;
}

}  // namespace

bool DataObject::NameLess::operator()(std::string_view left, std::string_view right) const {
  return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                      [](char a, char b) { return Lower(a) < Lower(b); });
}

DataObject::DataObject(std::string prog_id) : prog_id_(std::move(prog_id)) {}

Variant DataObject::Invoke(std::string_view method, std::span<Variant> args) {
  if (auto defined = methods_.find(method); defined != methods_.end()) {
    return defined->second(args);
  }
  return InvokePattern(method, args);
}

Variant DataObject::InvokePattern(std::string_view method, std::span<Variant> args) {
  const Pattern* shape_match = nullptr;  // name fits, argument count may not
  for (const Pattern& pattern : kPatterns) {
    if (!StartsWithIgnoringCase(method, pattern.prefix)) continue;
    std::string_view name = method.substr(pattern.prefix.size());
    if (pattern.accessor == Accessor::kGetAt) {
      if (!EndsWithIgnoringCase(method, "at")) continue;
      name.remove_suffix(2);
    }
    if (name.empty()) continue;
    if (args.size() != pattern.arguments) {
      if (shape_match == nullptr) shape_match = &pattern;
      continue;
    }
    switch (pattern.accessor) {
      case Accessor::kSet:
        Set(name, args[0]);
        return {};
      case Accessor::kGet:
        return Get(name);
      case Accessor::kHas:
        return Has(name);
      case Accessor::kAdd:
        Add(name, args[0]);
        return {};
      case Accessor::kSize:
        return static_cast<std::int32_t>(List(name).size());
      case Accessor::kGetAt: {
        const std::vector<Variant>& list = List(name);
        const std::int32_t index = args[0].AsInt32();
        if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
          throw Error(error_number::kSubscriptOutOfRange,
                      "Subscript out of range: " + prog_id_ + "." + std::string(method) + "(" +
                          std::to_string(index) + ") on a list of " + std::to_string(list.size()) +
                          " elements");
        }
        return list[static_cast<std::size_t>(index)];
      }
    }
  }
  if (shape_match != nullptr) {
    throw Error(kWrongNumberOfArguments,
                "Wrong number of arguments or invalid property assignment: " + prog_id_ + "." +
                    std::string(method) + " takes " + std::to_string(shape_match->arguments) +
                    ", got " + std::to_string(args.size()));
  }
  throw MethodNotSupportedError(prog_id_, method);
}

void DataObject::DefineMethod(std::string_view name, Method method) {
  if (auto defined = methods_.find(name); defined != methods_.end()) {
    defined->second = std::move(method);
  } else {
    methods_.emplace(std::string(name), std::move(method));
  }
}

const Variant& DataObject::Get(std::string_view name) const {
  static const Variant kEmpty;
  const auto found = properties_.find(name);
  return found == properties_.end() ? kEmpty : found->second;
}

void DataObject::Set(std::string_view name, Variant value) {
  if (auto found = properties_.find(name); found != properties_.end()) {
    found->second = std::move(value);
  } else {
    properties_.emplace(std::string(name), std::move(value));
  }
}

bool DataObject::Has(std::string_view name) const {
  const Variant& value = Get(name);
  return !value.IsEmpty() && !value.IsNull();
}

const std::vector<Variant>& DataObject::List(std::string_view name) const {
  static const std::vector<Variant> kNone;
  const auto found = lists_.find(name);
  return found == lists_.end() ? kNone : found->second;
}

void DataObject::Add(std::string_view name, Variant value) {
  auto found = lists_.find(name);
  if (found == lists_.end())
    found = lists_.emplace(std::string(name), std::vector<Variant>()).first;
  found->second.push_back(std::move(value));
}

std::vector<std::string> DataObject::PropertyNames() const { return NamesOf(properties_); }

std::vector<std::string> DataObject::ListNames() const { return NamesOf(lists_); }

}  // namespace tqs::automation
