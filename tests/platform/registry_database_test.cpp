// The database files: several processes, damaged and read-only files,
// missing folders and where the files live.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry/reg_key.h"
#include "platform/registry/registry_location.h"
#include "platform/registry/registry_sandbox.h"
#include "platform/registry/registry_store.h"

namespace {

namespace fs = std::filesystem;

// Runs fn in a child process (as an unprivileged user when asked and this
// process is root) and answers what fn answered, "" meaning success.
std::string InChild(const std::function<std::string()>& fn, bool unprivileged = false) {
  RegistryStore::Instance().CloseConnections();  // no connection crosses fork()
  int fds[2];
  if (pipe(fds) != 0) return "pipe failed";
  pid_t pid = fork();
  if (pid < 0) return "fork failed";
  if (pid == 0) {
    close(fds[0]);
    std::string result;
    if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
      result = "cannot drop privileges";
    else
      result = fn();
    if (write(fds[1], result.data(), result.size()) < 0) _exit(2);
    _exit(0);
  }
  close(fds[1]);
  std::string out;
  char buf[256];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed: " + out;
  return out;
}

std::string IntegrityCheck(const std::string& file) {
  sqlite3* db = nullptr;
  std::string result = "cannot open";
  if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr);
    if (sqlite3_step(st) == SQLITE_ROW)
      result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return result;
}

std::optional<DWORD> ReadDword(RegRoot root, const std::string& path, const std::string& name) {
  RegKey key;
  DWORD d = 0;
  if (key.Open(root, path, RegAccess::Read) != RegStatus::Ok) return std::nullopt;
  if (key.ReadDword(name, d) != RegStatus::Ok) return std::nullopt;
  return d;
}

RegStatus WriteDword(RegRoot root, const std::string& path, const std::string& name, DWORD d) {
  RegKey key;
  RegStatus s = key.Create(root, path);
  return s == RegStatus::Ok ? key.WriteDword(name, d) : s;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::string content;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) content.append(buf, n);
    std::fclose(f);
  }
  return content;
}

std::vector<std::string> SetAsideFiles(const std::string& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().find(".damaged-") != std::string::npos)
      found.push_back(e.path().string());
  return found;
}

class RegistryDatabaseTest : public ::testing::Test {
 protected:
  ScopedRegistrySandbox sandbox_;
};

}  // namespace

TEST_F(RegistryDatabaseTest, AnotherProcessSeesEveryWriteAtOnce) {
  ASSERT_EQ(WriteDword(HKEY_CURRENT_USER, "P", "parent", 1), RegStatus::Ok);
  EXPECT_EQ(InChild([] {
              if (ReadDword(HKEY_CURRENT_USER, "p", "PARENT") != 1u) return "parent's value unseen";
              if (WriteDword(HKEY_CURRENT_USER, "P", "child", 2) != RegStatus::Ok)
                return "child's write failed";
              return "";
            }),
            "");
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, "P", "child"), 2u);
}

TEST_F(RegistryDatabaseTest, TwoProcessesWritingAtOnceLoseNothing) {
  constexpr int kWrites = 60;
  ASSERT_EQ(WriteDword(HKEY_CURRENT_USER, "Shared", "start", 0), RegStatus::Ok);
  RegistryStore::Instance().CloseConnections();
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> children;
  for (int child = 0; child < 2; ++child) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(3);  // wait until the parent closes the pipe
      int failures = 0;
      std::string own = "Child" + std::to_string(child);
      for (int i = 0; i < kWrites; ++i) {
        std::string name = "v" + std::to_string(i);
        if (WriteDword(HKEY_CURRENT_USER, own, name, static_cast<DWORD>(i)) != RegStatus::Ok)
          ++failures;
        if (WriteDword(HKEY_CURRENT_USER, "Shared", "last", static_cast<DWORD>(child)) !=
            RegStatus::Ok)
          ++failures;
        RegKey tree;
        if (tree.Create(HKEY_CURRENT_USER, "Shared\\Tree" + own + "\\Deep") != RegStatus::Ok ||
            RegistryStore::Instance().DeleteTree(HKEY_CURRENT_USER, "Shared\\Tree" + own) !=
                RegStatus::Ok)
          ++failures;
      }
      _exit(failures == 0 ? 0 : 1);
    }
    children.push_back(pid);
  }
  close(go[0]);
  close(go[1]);  // both children start writing now
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
  }
  EXPECT_EQ(IntegrityCheck(sandbox_.UserDb()), "ok");
  for (int child = 0; child < 2; ++child)
    for (int i = 0; i < kWrites; ++i)
      EXPECT_EQ(
          ReadDword(HKEY_CURRENT_USER, "Child" + std::to_string(child), "v" + std::to_string(i)),
          static_cast<DWORD>(i));
  std::optional<DWORD> last = ReadDword(HKEY_CURRENT_USER, "Shared", "last");
  ASSERT_TRUE(last.has_value());
  EXPECT_LE(*last, 1u);
  std::vector<std::string> names;
  RegKey shared;
  ASSERT_EQ(shared.Open(HKEY_CURRENT_USER, "Shared"), RegStatus::Ok);
  ASSERT_EQ(shared.ListSubkeys(names), RegStatus::Ok);
  EXPECT_TRUE(names.empty());
}

TEST_F(RegistryDatabaseTest, DamagedFileIsSetAsideAndAFreshOneStarted) {
  auto corruptPages = [](const std::string& file) {
    // A real database whose table pages are overwritten with junk.
    {
      ASSERT_EQ(WriteDword(HKEY_CURRENT_USER, "Old", "v", 1), RegStatus::Ok);
      RegistryStore::Instance().CloseConnections();
    }
    std::string bytes = ReadFile(file);
    ASSERT_GT(bytes.size(), 8192u);
    for (std::size_t i = 4096; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    WriteFile(file, bytes);
  };
  auto foreignDatabase = [](const std::string& file) {
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db, "CREATE TABLE notes(x); INSERT INTO notes VALUES(1);", nullptr, nullptr,
                 nullptr);
    sqlite3_close(db);
  };
  auto notADatabase = [](const std::string& file) {
    WriteFile(file, std::string("this is not a database\n") + std::string(5000, 'x'));
  };
  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> cases = {
      {"not a database", notADatabase},
      {"foreign tables", foreignDatabase},
      {"corrupt pages", corruptPages},
  };
  for (const auto& [what, damage] : cases) {
    SCOPED_TRACE(what);
    ScopedRegistrySandbox sandbox;
    damage(sandbox.UserDb());
    std::string before = ReadFile(sandbox.UserDb());

    testing::internal::CaptureStderr();
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, "Old", "v"), std::nullopt);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("damaged"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;

    std::vector<std::string> aside = SetAsideFiles(sandbox.Dir());
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFile(aside[0]), before);  // kept as it was, for the user to inspect
    EXPECT_EQ(WriteDword(HKEY_CURRENT_USER, "New", "v", 2), RegStatus::Ok);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, "New", "v"), 2u);
    EXPECT_EQ(IntegrityCheck(sandbox.UserDb()), "ok");
  }
}

TEST_F(RegistryDatabaseTest, EmptyFileIsAFreshDatabase) {
  WriteFile(sandbox_.UserDb(), "");
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, "K", "v"), std::nullopt);
  EXPECT_EQ(WriteDword(HKEY_CURRENT_USER, "K", "v", 5), RegStatus::Ok);
  EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, "K", "v"), 5u);
  EXPECT_TRUE(SetAsideFiles(sandbox_.Dir()).empty());
}

TEST_F(RegistryDatabaseTest, ReadOnlyFilesCanBeReadButNotWritten) {
  ASSERT_EQ(WriteDword(HKEY_CURRENT_USER, "K", "v", 1), RegStatus::Ok);
  ASSERT_EQ(WriteDword(HKEY_LOCAL_MACHINE, "Software\\Classes\\.avi", "v", 1), RegStatus::Ok);
  RegistryStore::Instance().CloseConnections();
  std::string before = ReadFile(sandbox_.UserDb());
  ASSERT_EQ(chmod(sandbox_.UserDb().c_str(), 0444), 0);
  ASSERT_EQ(chmod(sandbox_.MachineDb().c_str(), 0444), 0);
  ASSERT_EQ(chmod(sandbox_.Dir().c_str(), 0555), 0);  // no journal can be made either

  std::string result = InChild(
      [] {
        if (ReadDword(HKEY_CURRENT_USER, "K", "v") != 1u) return "user value unreadable";
        if (ReadDword(HKEY_CLASSES_ROOT, ".avi", "v") != 1u) return "class value unreadable";
        if (WriteDword(HKEY_CURRENT_USER, "K", "v", 2) != RegStatus::AccessDenied)
          return "user write not refused";
        if (WriteDword(HKEY_LOCAL_MACHINE, "Software", "v", 2) != RegStatus::AccessDenied)
          return "machine write not refused";
        RegKey key;
        if (key.Open(HKEY_CLASSES_ROOT, ".avi") != RegStatus::Ok) return "class key missing";
        if (key.WriteDword("v", 3) != RegStatus::AccessDenied) return "class write not refused";
        if (ReadDword(HKEY_CURRENT_USER, "K", "v") != 1u) return "value changed";
        return "";
      },
      /*unprivileged=*/true);
  chmod(sandbox_.Dir().c_str(), 0700);
  EXPECT_EQ(result, "");
  EXPECT_EQ(ReadFile(sandbox_.UserDb()), before);
}

TEST_F(RegistryDatabaseTest, DamagedFileThatCannotBeMovedFailsQuietly) {
  const std::string junk = "junk, not a database" + std::string(3000, '-');
  WriteFile(sandbox_.UserDb(), junk);
  ASSERT_EQ(chmod(sandbox_.Dir().c_str(), 0555), 0);
  std::string result = InChild(
      [] {
        testing::internal::CaptureStderr();
        bool ok = ReadDword(HKEY_CURRENT_USER, "K", "v") == std::nullopt &&
                  WriteDword(HKEY_CURRENT_USER, "K", "v", 1) == RegStatus::AccessDenied &&
                  ReadDword(HKEY_CURRENT_USER, "K", "v") == std::nullopt;
        std::string err = testing::internal::GetCapturedStderr();
        if (!ok) return std::string("reads or writes did not fail");
        if (std::count(err.begin(), err.end(), '\n') != 1 ||
            err.find("cannot be moved aside") == std::string::npos)
          return "stderr: " + err;
        return std::string();
      },
      /*unprivileged=*/true);
  chmod(sandbox_.Dir().c_str(), 0700);
  EXPECT_EQ(result, "");
  EXPECT_EQ(ReadFile(sandbox_.UserDb()), junk);
}

TEST_F(RegistryDatabaseTest, MissingFolderThatCannotBeMadeFailsWrites) {
  std::string blocker = sandbox_.Dir() + "/file";
  WriteFile(blocker, "x");
  setenv(kRegistryConfigDirVar, (blocker + "/lumora").c_str(), 1);
  RegKey key;
  EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "K"), RegStatus::NotFound);
  EXPECT_EQ(key.Create(HKEY_CURRENT_USER, "K"), RegStatus::AccessDenied);
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, ""), RegStatus::Ok);
  EXPECT_EQ(key.WriteDword("x", 1), RegStatus::AccessDenied);
}

TEST_F(RegistryDatabaseTest, MissingFoldersAreCreated) {
  setenv(kRegistryConfigDirVar, (sandbox_.Dir() + "/a/b/lumora").c_str(), 1);
  setenv(kRegistryMachineDbVar, (sandbox_.Dir() + "/m/n/machine.db").c_str(), 1);
  EXPECT_EQ(WriteDword(HKEY_CURRENT_USER, "K", "v", 1), RegStatus::Ok);
  EXPECT_EQ(WriteDword(HKEY_LOCAL_MACHINE, "K", "v", 1), RegStatus::Ok);
  EXPECT_TRUE(fs::exists(sandbox_.Dir() + "/a/b/lumora/registry.db"));
  EXPECT_TRUE(fs::exists(sandbox_.Dir() + "/m/n/machine.db"));
}

TEST_F(RegistryDatabaseTest, LocationsFollowTheEnvironment) {
  // Restores the variables this test changes.
  struct Saved {
    std::vector<std::pair<std::string, std::optional<std::string>>> vars;
    explicit Saved(std::initializer_list<const char*> names) {
      for (const char* n : names) {
        const char* v = std::getenv(n);
        vars.emplace_back(n, v ? std::optional<std::string>(v) : std::nullopt);
      }
    }
    ~Saved() {
      for (auto& [n, v] : vars)
        v ? (void)setenv(n.c_str(), v->c_str(), 1) : (void)unsetenv(n.c_str());
    }
  } saved{"LUMORA_TEST", "XDG_CONFIG_HOME", "HOME", kRegistryConfigDirVar, kRegistryMachineDbVar};

  unsetenv("LUMORA_TEST");
  unsetenv(kRegistryMachineDbVar);
  setenv(kRegistryConfigDirVar, "/x/cfg", 1);
  EXPECT_EQ(UserRegistryPath(), "/x/cfg/registry.db");
  EXPECT_EQ(MachineRegistryPath(), "/x/cfg/machine.db");
  setenv(kRegistryMachineDbVar, "/y/m.db", 1);
  EXPECT_EQ(MachineRegistryPath(), "/y/m.db");

  unsetenv(kRegistryConfigDirVar);
  unsetenv(kRegistryMachineDbVar);
  setenv("HOME", "/home/u", 1);
  setenv("XDG_CONFIG_HOME", "/xdg", 1);
  EXPECT_EQ(UserRegistryPath(), "/xdg/lumora/registry.db");
  setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_EQ(UserRegistryPath(), "/home/u/.config/lumora/registry.db");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(UserRegistryPath(), "/home/u/.config/lumora/registry.db");
  EXPECT_EQ(MachineRegistryPath(), "/var/lib/lumora/machine.db");

  // A test program without a sandbox gets no registry at all.
  setenv("LUMORA_TEST", "1", 1);
  EXPECT_EQ(UserRegistryPath(), "");
  EXPECT_EQ(MachineRegistryPath(), "");
  setenv("HOME", sandbox_.Dir().c_str(), 1);
  RegKey key;
  EXPECT_EQ(key.Create(HKEY_CURRENT_USER, "K"), RegStatus::AccessDenied);
  EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, "K"), RegStatus::AccessDenied);
  EXPECT_FALSE(fs::exists(sandbox_.Dir() + "/.config"));
}
