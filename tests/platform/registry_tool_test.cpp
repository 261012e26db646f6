// lumora-reg, run as a separate program on a sandboxed store.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/registry/reg_key.h"
#include "platform/registry/registry_location.h"
#include "platform/registry/registry_sandbox.h"

extern char** environ;

namespace {

struct ToolResult {
  int code = -1;
  std::string out;
  std::string err;
};

std::string Slurp(int fd) {
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<std::size_t>(n));
  return s;
}

// Runs lumora-reg with args, stdin from /dev/null (not a terminal).
ToolResult Reg(const std::vector<std::string>& args) {
  std::string tool = std::string(LUMORA_BIN_DIR) + "/lumora-reg";
  std::vector<char*> argv{tool.data()};
  std::vector<std::string> copy = args;
  for (std::string& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);

  // Temporary files keep the code free of pipe-buffer deadlocks.
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fileno(out), 1);
  posix_spawn_file_actions_adddup2(&actions, fileno(err), 2);
  ToolResult r;
  pid_t pid = 0;
  if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  for (auto [file, into] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
    lseek(fileno(file), 0, SEEK_SET);
    *into = Slurp(fileno(file));
    std::fclose(file);
  }
  return r;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class RegistryToolTest : public ::testing::Test {
 protected:
  ScopedRegistrySandbox sandbox_;
};

constexpr const char* kAudio = "HKCU\\Software\\Classes\\Lumora.Audio";

}  // namespace

TEST_F(RegistryToolTest, CyrillicTextRoundTrips) {
  const std::string text = "Фильмы «Ёлка» \"в кавычках\" \\ и путь";
  ToolResult add = Reg({"add", kAudio, "/v", "Название", "/d", text});
  ASSERT_EQ(add.code, 0) << add.err;
  EXPECT_TRUE(Contains(add.out, "The operation completed successfully."));

  ToolResult q = Reg({"query", "hkcu\\SOFTWARE\\classes\\lumora.audio", "/v", "НАЗВАНИЕ"});
  ASSERT_EQ(q.code, 0) << q.err;
  EXPECT_EQ(q.out,
            "\nHKEY_CURRENT_USER\\Software\\Classes\\Lumora.Audio\n    Название    REG_SZ    " +
                text + "\n\n");

  // The program sees what the tool wrote.
  RegKey key;
  std::string read;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Classes\\Lumora.Audio"), RegStatus::Ok);
  ASSERT_EQ(key.ReadString("название", read), RegStatus::Ok);
  EXPECT_EQ(read, text);

  ToolResult exp = Reg({"export", "HKEY_CURRENT_USER\\Software\\Classes"});
  ASSERT_EQ(exp.code, 0) << exp.err;
  EXPECT_EQ(exp.out,
            "[HKEY_CURRENT_USER\\Software\\Classes]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Classes\\Lumora.Audio]\n"
            "\"Название\"=\"Фильмы «Ёлка» \\\"в кавычках\\\" \\\\ и путь\"\n\n");
}

TEST_F(RegistryToolTest, DwordAcceptsDecimalHexAndNegative) {
  struct Case {
    const char* data;
    DWORD stored;
    const char* shown;
  };
  const Case cases[] = {
      {"80", 80, "0x50 (80)"},
      {"0x50", 80, "0x50 (80)"},
      {"0XfF", 255, "0xff (255)"},
      {"4294967295", 0xFFFFFFFF, "0xffffffff (-1)"},
      {"-1280", static_cast<DWORD>(-1280), "0xfffffb00 (-1280)"},
      {"0", 0, "0x0 (0)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    ToolResult add = Reg({"add", kAudio, "/v", "Volume", "/t", "REG_DWORD", "/d", c.data, "/f"});
    ASSERT_EQ(add.code, 0) << add.err;
    RegKey key;
    DWORD d = 12345;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\Classes\\Lumora.Audio"), RegStatus::Ok);
    ASSERT_EQ(key.ReadDword("Volume", d), RegStatus::Ok);
    EXPECT_EQ(d, c.stored);
    ToolResult q = Reg({"query", kAudio, "/v", "volume"});
    EXPECT_TRUE(Contains(q.out, std::string("    Volume    REG_DWORD    ") + c.shown)) << q.out;
  }
  ToolResult exp = Reg({"export", kAudio});
  EXPECT_TRUE(Contains(exp.out, "\"Volume\"=dword:00000000\n")) << exp.out;
}

TEST_F(RegistryToolTest, DefaultValueAndExpandableText) {
  ASSERT_EQ(
      Reg({"add", "HKCU\\Software\\Classes\\Lumora.Video", "/ve", "/d", "Lumora.Video.File"}).code,
      0);
  ASSERT_EQ(
      Reg({"add", "HKCU\\software\\Kestrel\\", "/v", "1", "/t", "reg_expand_sz", "/d", "49161"})
          .code,
      0);
  ToolResult q = Reg({"query", "HKCU\\Software\\Classes\\Lumora.Video", "/ve"});
  ASSERT_EQ(q.code, 0) << q.err;
  EXPECT_TRUE(Contains(q.out, "    (Default)    REG_SZ    Lumora.Video.File\n")) << q.out;
  q = Reg({"query", "HKCU\\Software"});
  ASSERT_EQ(q.code, 0) << q.err;
  EXPECT_EQ(q.out,
            "\nHKEY_CURRENT_USER\\Software\n\n"
            "HKEY_CURRENT_USER\\Software\\Classes\n"
            "HKEY_CURRENT_USER\\Software\\Kestrel\n");
  ToolResult exp = Reg({"export"});
  ASSERT_EQ(exp.code, 0) << exp.err;
  EXPECT_TRUE(Contains(exp.out,
                       "[HKEY_CURRENT_USER\\Software\\Classes\\Lumora.Video]\n"
                       "@=\"Lumora.Video.File\"\n"));
  EXPECT_TRUE(
      Contains(exp.out, "[HKEY_CURRENT_USER\\Software\\Kestrel]\n\"1\"=expand:\"49161\"\n"));
  EXPECT_TRUE(Contains(exp.out, "[HKEY_LOCAL_MACHINE]\n"));

  ASSERT_EQ(Reg({"delete", "HKCU\\Software\\Classes\\Lumora.Video", "/ve", "/f"}).code, 0);
  q = Reg({"query", "HKCU\\Software\\Classes\\Lumora.Video", "/ve"});
  EXPECT_EQ(q.code, 1);
  EXPECT_TRUE(Contains(q.err, "ERROR: The system was unable to find")) << q.err;
}

TEST_F(RegistryToolTest, DeleteWithoutValueRemovesTheTree) {
  for (const char* key : {"HKCU\\Top\\A\\B\\C", "HKCU\\Top\\AB"})
    ASSERT_EQ(Reg({"add", key, "/v", "x", "/d", "1"}).code, 0);
  ToolResult del = Reg({"delete", "HKCU\\top\\a", "/f"});
  ASSERT_EQ(del.code, 0) << del.err;
  EXPECT_EQ(Reg({"query", "HKCU\\Top\\A\\B"}).code, 1);
  EXPECT_EQ(Reg({"query", "HKCU\\Top\\AB", "/v", "x"}).code, 0);

  // Without /f and without a terminal nothing is deleted.
  ToolResult refused = Reg({"delete", "HKCU\\Top"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_TRUE(Contains(refused.err, "/f")) << refused.err;
  EXPECT_EQ(Reg({"query", "HKCU\\Top\\AB"}).code, 0);
}

TEST_F(RegistryToolTest, ErrorsExitWithOneAndChangeNothing) {
  ASSERT_EQ(Reg({"add", kAudio, "/v", "Volume", "/t", "REG_DWORD", "/d", "80"}).code, 0);
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const std::vector<Case> cases = {
      {{}, "Usage"},
      {{"frobnicate", kAudio}, "Invalid operation"},
      {{"query"}, "key name is needed"},
      {{"query", "HKXX\\Software"}, "Invalid key name"},
      {{"query", "Software\\Classes"}, "Invalid key name"},
      {{"query", "HKCU\\Nothing"}, "unable to find"},
      {{"query", kAudio, "/v", "Nothing"}, "unable to find"},
      {{"query", kAudio, "/v"}, "needs an argument"},
      {{"query", kAudio, "/t", "REG_SZ"}, "Invalid syntax"},
      {{"add", kAudio, "/v", "Volume", "/t", "REG_DWORD", "/d", "81"}, "/f"},
      {{"add", kAudio, "/v", "Volume", "/t", "REG_BINARY", "/d", "1", "/f"}, "Invalid type"},
      {{"add", kAudio, "/v", "Volume", "/t", "REG_DWORD", "/d", "12abc", "/f"}, "REG_DWORD"},
      {{"add", kAudio, "/v", "Volume", "/t", "REG_DWORD", "/d", "4294967296", "/f"}, "REG_DWORD"},
      {{"add", kAudio, "/v", "Volume", "/t", "REG_DWORD", "/d", "0x100000000", "/f"}, "REG_DWORD"},
      {{"add", kAudio, "/v", "Volume", "/t", "REG_DWORD", "/d", "-2147483649", "/f"}, "REG_DWORD"},
      {{"add", kAudio, "/v", "A", "/ve"}, "once"},
      {{"add", kAudio, "/d", "1"}, "/t and /d need"},
      {{"delete", kAudio, "/v", "Nothing", "/f"}, "unable to find"},
      {{"delete", "HKCU", "/f"}, "root key"},
      {{"export", "HKCU\\Nothing"}, "unable to find"},
      {{"export", kAudio, "/v", "Volume"}, "Invalid syntax"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const auto& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    ToolResult r = Reg(c.args);
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
  }
  ToolResult q = Reg({"query", kAudio, "/v", "Volume"});
  EXPECT_TRUE(Contains(q.out, "0x50 (80)")) << q.out;
  EXPECT_EQ(Reg({"/?"}).code, 0);
  EXPECT_TRUE(Contains(Reg({"query", "/?"}).out, "Usage"));
}

TEST_F(RegistryToolTest, MachineKeysNeedAWritableMachineFile) {
  ASSERT_EQ(Reg({"add", "HKLM\\Software\\Classes\\.avi", "/ve", "/d", "Machine.Avi"}).code, 0);
  ASSERT_EQ(Reg({"add", "HKCU\\Software\\Classes\\.mkv", "/ve", "/d", "Lumora.Video"}).code, 0);
  ToolResult q = Reg({"query", "HKCR\\.avi", "/ve"});
  EXPECT_TRUE(Contains(q.out, "HKEY_CLASSES_ROOT\\.avi\n    (Default)    REG_SZ    Machine.Avi"))
      << q.out;
  q = Reg({"query", "HKEY_CLASSES_ROOT"});
  EXPECT_TRUE(Contains(q.out, "HKEY_CLASSES_ROOT\\.avi\nHKEY_CLASSES_ROOT\\.mkv\n")) << q.out;

  std::string blocker = sandbox_.Dir() + "/no-folder";
  std::FILE* f = std::fopen(blocker.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  setenv(kRegistryMachineDbVar, (blocker + "/machine.db").c_str(), 1);
  ToolResult denied = Reg({"add", "HKLM\\Software\\X", "/f"});
  EXPECT_EQ(denied.code, 1);
  EXPECT_TRUE(Contains(denied.err, "ERROR: Access is denied.")) << denied.err;
  EXPECT_EQ(Reg({"add", "HKCR\\.mkv", "/v", "x", "/d", "1"}).code, 0);  // the user's part
}
