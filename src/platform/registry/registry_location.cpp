#include "platform/registry/registry_location.h"

#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

bool Sandboxed() { return !Env(kRegistryConfigDirVar).empty(); }

bool TestWithoutSandbox() {
  if (Env("LUMORA_TEST").empty() || Sandboxed()) return false;
  static std::atomic<bool> said{false};
  if (!said.exchange(true))
    std::fprintf(stderr,
                 "lumora: LUMORA_TEST is set but LUMORA_CONFIG_DIR is not; the registry store "
                 "refuses every operation (use ScopedRegistrySandbox)\n");
  return true;
}

std::string HomeDir() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return {};
}

std::string ConfigDir() {
  if (std::string dir = Env(kRegistryConfigDirVar); !dir.empty()) return dir;
  if (std::string xdg = Env("XDG_CONFIG_HOME"); !xdg.empty() && xdg.front() == '/')
    return xdg + "/lumora";
  std::string home = HomeDir();
  if (home.empty()) return {};
  return home + "/.config/lumora";
}

}  // namespace

std::string UserRegistryPath() {
  if (TestWithoutSandbox()) return {};
  std::string dir = ConfigDir();
  return dir.empty() ? std::string() : dir + "/registry.db";
}

std::string MachineRegistryPath() {
  if (TestWithoutSandbox()) return {};
  if (std::string file = Env(kRegistryMachineDbVar); !file.empty()) return file;
  if (Sandboxed()) return Env(kRegistryConfigDirVar) + "/machine.db";
  return "/var/lib/lumora/machine.db";
}
