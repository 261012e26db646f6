#pragma once
// Where the two registry databases live.
//
// The current user's keys (HKEY_CURRENT_USER) are kept in "registry.db" in
// the configuration folder:
//   $LUMORA_CONFIG_DIR                   when set (tests and sandboxes use it),
//   else $XDG_CONFIG_HOME/lumora         when XDG_CONFIG_HOME is an absolute path,
//   else $HOME/.config/lumora.
// The machine's keys (HKEY_LOCAL_MACHINE) are kept in their own file, which
// an ordinary user normally cannot write (as the machine part of the registry
// needs administrator rights):
//   $LUMORA_MACHINE_DB                   when set (a file path),
//   else $LUMORA_CONFIG_DIR/machine.db   when LUMORA_CONFIG_DIR is set,
//   else /var/lib/lumora/machine.db.
// Safety net for test programs: when LUMORA_TEST is set but LUMORA_CONFIG_DIR
// is not, both locations are empty and the store refuses every operation, so
// that a test can never touch a real user's settings.
//
// The locations are looked up anew on every call, so a change of the
// variables takes effect at the next store operation.

#include <string>

inline constexpr const char* kRegistryConfigDirVar = "LUMORA_CONFIG_DIR";
inline constexpr const char* kRegistryMachineDbVar = "LUMORA_MACHINE_DB";

// The user database file, or "" when the store must not be used.
std::string UserRegistryPath();

// The machine database file, or "" when the store must not be used.
std::string MachineRegistryPath();
