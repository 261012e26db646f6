#include "platform/registry/registry_sandbox.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "platform/registry/registry_location.h"
#include "platform/registry/registry_store.h"

namespace {

std::optional<std::string> GetEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::optional<std::string>(v) : std::nullopt;
}

void RestoreEnv(const char* name, const std::optional<std::string>& value) {
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

}  // namespace

ScopedRegistrySandbox::ScopedRegistrySandbox()
    : oldConfigDir_(GetEnv(kRegistryConfigDirVar)), oldMachineDb_(GetEnv(kRegistryMachineDbVar)) {
  std::error_code ec;
  std::string base = std::filesystem::temp_directory_path(ec).string();
  if (ec || base.empty()) base = "/tmp";
  std::string pattern = base + "/lumora-registry-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create " + pattern);
  dir_ = pattern;
  setenv(kRegistryConfigDirVar, dir_.c_str(), 1);
  setenv(kRegistryMachineDbVar, MachineDb().c_str(), 1);
  RegistryStore::Instance().CloseConnections();
}

ScopedRegistrySandbox::~ScopedRegistrySandbox() {
  RegistryStore::Instance().CloseConnections();
  RestoreEnv(kRegistryConfigDirVar, oldConfigDir_);
  RestoreEnv(kRegistryMachineDbVar, oldMachineDb_);
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}
