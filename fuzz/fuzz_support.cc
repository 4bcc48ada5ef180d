#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <span>
#include <system_error>

#include "common/error.h"
#include "platform/automation/object.h"
#include "server/schema/server_schema.h"

namespace tqs::fuzz {
namespace {

std::filesystem::path FreshFolder() {
  std::error_code ignored;
  std::filesystem::path base = "/dev/shm";
  if (const char* given = std::getenv("TQS_FUZZ_TMPDIR"); given != nullptr && *given != '\0') {
    base = given;
  } else if (!std::filesystem::is_directory(base, ignored)) {
    base = std::filesystem::temp_directory_path();
  }
  // Unique per process and per folder: a target may hold several.
  static int count = 0;
  const std::filesystem::path folder =
      base / ("tqs-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
  std::filesystem::remove_all(folder, ignored);
  std::filesystem::create_directories(folder);
  return folder;
}

bool Contains(std::string_view text, std::string_view part) {
  return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         }) != text.end();
}

class AcceptingObject : public automation::Object {
 public:
  explicit AcceptingObject(std::string prog_id) : prog_id_(std::move(prog_id)) {}

  automation::Variant Invoke(std::string_view method, std::span<automation::Variant>) override {
    // Counts, sizes and return values are numbers; everything else the caller may go on to
    // use as an object (an output structure, a list item, an answer).
    if (Contains(method, "ReturnValue") || Contains(method, "count") || Contains(method, "size") ||
        method.starts_with("set") || method.starts_with("Set") || method.starts_with("add") ||
        method.starts_with("Add")) {
      return std::int32_t{0};
    }
    return automation::ObjectPtr(std::make_shared<AcceptingObject>(prog_id_));
  }
  std::string ProgId() const override { return prog_id_; }

 private:
  const std::string prog_id_;
};

class AcceptingFactory : public automation::ComponentFactory {
 public:
  automation::ObjectPtr Create(std::string_view prog_id) override {
    return std::make_shared<AcceptingObject>(std::string(prog_id));
  }
};

}  // namespace

ScratchFolder::ScratchFolder() : path_(FreshFolder()) {}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScratchServerDatabase::ScratchServerDatabase()
    : dsn_("Provider=SQLite;Data Source=" + (folder_.path() / "server.db").string()) {
  auto connection = db::Connection::OpenOrCreate(dsn_);
  server::CreateServerSchema(*connection);
}

void ScratchServerDatabase::Execute(const std::string& sql) const {
  db::Connection::Open(dsn_)->Execute(sql);
}

std::shared_ptr<automation::ComponentFactory> AcceptingComponents() {
  return std::make_shared<AcceptingFactory>();
}

}  // namespace tqs::fuzz
