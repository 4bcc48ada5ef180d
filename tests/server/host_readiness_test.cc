// The HTTP host as a systemd service of Type=notify sees it: the host program is started with
// NOTIFY_SOCKET naming a datagram socket the test binds, as the service manager does.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include "admin/installation.h"
#include "tests/support/temp_dir.h"

namespace tqs::server::host {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The service manager's end of the notification socket.
class NotifySocket {
 public:
  explicit NotifySocket(const fs::path& path) : path_(path) {
    fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.string().copy(address.sun_path, sizeof address.sun_path - 1);
    bound_ =
        fd_ >= 0 && ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~NotifySocket() {
    if (fd_ >= 0) ::close(fd_);
  }
  NotifySocket(const NotifySocket&) = delete;
  NotifySocket& operator=(const NotifySocket&) = delete;

  bool bound() const { return bound_; }
  const fs::path& path() const { return path_; }

  // The next message, or nothing when none arrives within `timeout`.
  std::optional<std::string> Receive(std::chrono::milliseconds timeout) const {
    pollfd waiting{.fd = fd_, .events = POLLIN, .revents = 0};
    if (::poll(&waiting, 1, static_cast<int>(timeout.count())) != 1) return std::nullopt;
    char bytes[4096];
    const ssize_t got = ::recv(fd_, bytes, sizeof bytes, 0);
    if (got < 0) return std::nullopt;
    return std::string(bytes, static_cast<std::size_t>(got));
  }

 private:
  const fs::path path_;
  int fd_ = -1;
  bool bound_ = false;
};

// A fresh installation whose host listens on `listen`; returns the host program in it.
fs::path InstallHost(const fs::path& directory, const std::string& listen) {
  admin::InstallOptions options;
  options.directory = directory;
  options.programs_folder = fs::path(TQS_HOST_PROGRAM).parent_path();
  admin::Install(options, [](std::string_view) {});
  const fs::path config = directory / "web" / "config" / "VarnexConfiguration.xml";
  pugi::xml_document document;
  EXPECT_TRUE(document.load_file(config.c_str()));
  document.document_element()
      .child("SERVERHOST")
      .find_child_by_attribute("add", "key", "Listen")
      .attribute("value") = listen.c_str();
  EXPECT_TRUE(document.save_file(config.c_str()));
  return directory / "bin" / "TQSRemoteServerHost";
}

// Starts `program serve` with NOTIFY_SOCKET set and its standard error in `error_file`.
pid_t StartHost(const fs::path& program, const fs::path& notify_socket,
                const fs::path& error_file) {
  const pid_t host = ::fork();
  if (host == 0) {
    ::setenv("NOTIFY_SOCKET", notify_socket.c_str(), 1);
    if (!::freopen(error_file.c_str(), "w", stderr)) ::_exit(126);
    ::execl(program.c_str(), program.c_str(), "serve", nullptr);
    ::_exit(127);
  }
  return host;
}

// The exit status of `host`, or -1 when it has not ended within `timeout` (it is killed then).
int WaitForExit(pid_t host, std::chrono::seconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (::waitpid(host, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(host, SIGKILL);
      ::waitpid(host, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(20ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// READY=1 comes once the host answers on its address, and is the first message; a SIGTERM
// sends STOPPING=1 before the host ends with status 0.
TEST(HostReadinessTest, ReportsReadyWhenServingAndStoppingOnSigterm) {
  test_support::ScopedTempDir folder;
  const fs::path program = InstallHost(folder.path() / "x", "127.0.0.1:0");
  const NotifySocket notify(folder.path() / "notify");
  ASSERT_TRUE(notify.bound());
  const fs::path errors = folder.path() / "host.err";
  const pid_t host = StartHost(program, notify.path(), errors);

  const std::optional<std::string> ready = notify.Receive(20s);
  ASSERT_TRUE(ready.has_value()) << ReadText(errors);
  EXPECT_EQ(ready->rfind("READY=1\n", 0), 0u) << *ready;
  std::smatch address;
  ASSERT_TRUE(std::regex_search(
      *ready, address, std::regex(R"(STATUS=serving JobSheet on http://127\.0\.0\.1:(\d+))")))
      << *ready;
  {
    httplib::Client client("127.0.0.1", std::stoi(address[1]));
    client.set_connection_timeout(2s);
    const auto health = client.Get("/health");
    ASSERT_TRUE(health) << ReadText(errors);
    EXPECT_EQ(health->status, 200);
  }
  EXPECT_FALSE(notify.Receive(100ms).has_value()) << "a second message while serving";

  ASSERT_EQ(::kill(host, SIGTERM), 0);
  const std::optional<std::string> stopping = notify.Receive(10s);
  ASSERT_TRUE(stopping.has_value()) << ReadText(errors);
  EXPECT_EQ(stopping->rfind("STOPPING=1", 0), 0u) << *stopping;
  EXPECT_EQ(WaitForExit(host, 15s), 0) << ReadText(errors);
}

// A host that cannot listen (the address is taken) ends with status 1 and never says READY.
TEST(HostReadinessTest, AHostThatCannotListenSendsNoReady) {
  test_support::ScopedTempDir folder;
  const int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(taken, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(taken, 4), 0);
  socklen_t length = sizeof address;
  ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const fs::path program =
      InstallHost(folder.path() / "x", "127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
  const NotifySocket notify(folder.path() / "notify");
  ASSERT_TRUE(notify.bound());
  const fs::path errors = folder.path() / "host.err";

  const pid_t host = StartHost(program, notify.path(), errors);
  EXPECT_EQ(WaitForExit(host, 15s), 1) << ReadText(errors);
  EXPECT_FALSE(notify.Receive(200ms).has_value());
  ::close(taken);
}

}  // namespace
}  // namespace tqs::server::host
