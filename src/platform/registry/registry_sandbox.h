#pragma once
// Points the registry store at a fresh temporary folder for the lifetime of
// the object: LUMORA_CONFIG_DIR names the folder and LUMORA_MACHINE_DB a
// "machine.db" inside it. On destruction the previous values of both
// variables come back and the folder is removed. For tests and for tools
// that must never touch a user's real settings. Not thread-safe (it changes
// the environment): create it while no other thread uses the store.

#include <optional>
#include <string>

class ScopedRegistrySandbox {
 public:
  ScopedRegistrySandbox();
  ~ScopedRegistrySandbox();
  ScopedRegistrySandbox(const ScopedRegistrySandbox&) = delete;
  ScopedRegistrySandbox& operator=(const ScopedRegistrySandbox&) = delete;

  const std::string& Dir() const { return dir_; }
  std::string UserDb() const { return dir_ + "/registry.db"; }
  std::string MachineDb() const { return dir_ + "/machine.db"; }

 private:
  std::string dir_;
  std::optional<std::string> oldConfigDir_;
  std::optional<std::string> oldMachineDb_;
};
