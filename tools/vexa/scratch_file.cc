#include "scratch_file.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

namespace vexa::tool {
namespace {

// The paths to remove when a signal ends the process. The handler only
// reads them, and a slot is marked in use only once its path is complete.
constexpr int kSlots = 4;
constexpr size_t kPathBytes = 4096;
char g_paths[kSlots][kPathBytes];
volatile std::sig_atomic_t g_in_use[kSlots];

extern "C" void RemoveAndDie(int signal_number) {
  for (int i = 0; i < kSlots; ++i) {
    if (g_in_use[i]) unlink(g_paths[i]);
  }
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

void InstallHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (int s : kEndingSignals) {
    struct sigaction action {};
    sigaction(s, nullptr, &action);
    if (action.sa_handler == SIG_IGN) continue;  // as the caller wished
    action.sa_handler = RemoveAndDie;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(s, &action, nullptr);
  }
}

int Register(const std::string& path) {
  if (path.size() >= kPathBytes) return -1;
  for (int i = 0; i < kSlots; ++i) {
    if (g_in_use[i]) continue;
    std::memcpy(g_paths[i], path.c_str(), path.size() + 1);
    g_in_use[i] = 1;
    return i;
  }
  return -1;
}

}  // namespace

ScratchFile::~ScratchFile() {
  if (!path_.empty()) unlink(path_.c_str());
  if (slot_ >= 0) g_in_use[slot_] = 0;
}

bool ScratchFile::Create(const std::string& stem, std::string* error) {
  InstallHandlers();
  std::error_code ec;
  const std::filesystem::path dir = std::filesystem::temp_directory_path(ec);
  std::string name = (ec ? std::string("/tmp") : dir.string()) + "/." + stem + ".XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = std::strerror(errno);
    return false;
  }
  close(fd);
  path_ = name;
  slot_ = Register(path_);
  return true;
}

HeldSignals::HeldSignals() {
  sigset_t held;
  sigemptyset(&held);
  for (int s : kEndingSignals) sigaddset(&held, s);
  sigprocmask(SIG_BLOCK, &held, &saved_);
}

HeldSignals::~HeldSignals() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

void IgnoreFileSizeSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace vexa::tool
