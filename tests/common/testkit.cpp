#include "testkit.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

static std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, (size_t)n);
  return text;
}

ChildResult RunChild(const std::function<void()> &body) {
  // Output goes through files, not pipes, so a chatty child can never block on a full pipe.
  FILE *outFile = tmpfile();
  FILE *errFile = tmpfile();
  fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fileno(outFile), 1);
    dup2(fileno(errFile), 2);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    body();
    fflush(nullptr);
    _exit(99);
  }
  ChildResult result;
  int status = 0;
  waitpid(pid, &status, 0);
  result.exited = WIFEXITED(status);
  if (result.exited) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  lseek(fileno(outFile), 0, SEEK_SET);
  lseek(fileno(errFile), 0, SEEK_SET);
  result.out = ReadAll(fileno(outFile));
  result.err = ReadAll(fileno(errFile));
  fclose(outFile);
  fclose(errFile);
  return result;
}

void ExpectFatal(const std::function<void()> &body, const std::string &file, const std::string &message,
                 int line, const std::string &what) {
  const ChildResult child = RunChild(body);
  EXPECT_TRUE(child.exited && child.exitCode == 0) << what << ": exit " << child.exitCode << ", signal " << child.signal;
  EXPECT_EQ(child.err, "ERROR: " + message + "\n") << what;
  const std::string at = "\n PROGRAM: -- ERROR: at " + file + " " + (line >= 0 ? std::to_string(line) + " : " : "");
  const size_t found = child.out.find(at);
  EXPECT_NE(found, std::string::npos) << what << ": " << child.out;
  if (found != std::string::npos) {
    EXPECT_NE(child.out.find(" : " + message + " ", found), std::string::npos) << what << ": " << child.out;
  }
}

ScopedTempDir::ScopedTempDir() {
  previous_ = fs::current_path().string();
  std::string pattern = (fs::temp_directory_path() / "tunemill-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) ADD_FAILURE() << "mkdtemp failed";
  path_ = pattern;
  fs::current_path(path_);
}

ScopedTempDir::~ScopedTempDir() {
  fs::current_path(previous_);
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string ArchiveMember(const std::string &name, const std::string &data, uint32_t unpackedSize, uint32_t packed,
                          uint32_t magic) {
  std::string header;
  for (uint32_t word : {magic, (uint32_t)data.size(), unpackedSize, packed}) {
    for (int i = 0; i < 4; i++) header += (char)(word >> (8 * i));
    if (header.size() == 4) header += name + std::string(257 - name.size(), '\0');
  }
  return header + data;
}

std::string StoredMember(const std::string &name, const std::string &data) { return ArchiveMember(name, data); }

std::vector<std::string> TemporaryFilesLeft() {
  std::vector<std::string> names;
  for (const auto &entry : fs::directory_iterator("."))
    if (entry.path().filename().string().rfind("_#q_", 0) == 0) names.push_back(entry.path().filename());
  return names;
}

std::string ReadWholeFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteWholeFile(const std::string &path, const std::string &bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), (std::streamsize)bytes.size());
}

bool FileExists(const std::string &path) { return fs::exists(fs::symlink_status(path)); }

bool WaitFor(const std::function<bool()> &condition, double seconds, double pollSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::duration<double>(pollSeconds));
  }
  return true;
}
