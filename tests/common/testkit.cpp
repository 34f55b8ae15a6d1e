#include "testkit.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace fs = std::filesystem;

ChildResult RunChild(const std::function<void()> &body) {
  // Output goes through files, not pipes, so a chatty child can never block on a full pipe.
  FILE *files[2] = {tmpfile(), tmpfile()};
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    for (int fd : {1, 2}) dup2(fileno(files[fd - 1]), fd);
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"}) unsetenv(name);
    body();
    fflush(nullptr);
    _exit(99);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  // Opened afresh through its descriptor's name, a file is read from its start.
  const auto output = [&](int i) { return ReadWholeFile("/proc/self/fd/" + std::to_string(fileno(files[i]))); };
  ChildResult result = {WIFEXITED(status) != 0, WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                        WIFSIGNALED(status) ? WTERMSIG(status) : 0, output(0), output(1)};
  for (FILE *file : files) fclose(file);
  return result;
}

void ExpectFatal(const std::function<void()> &body, const std::string &file, const std::string &message,
                 int line, const std::string &what) {
  const ChildResult child = RunChild(body);
  EXPECT_TRUE(child.exited && child.exitCode == 0) << what << ": exit " << child.exitCode << " signal " << child.signal;
  EXPECT_EQ(child.err, "ERROR: " + message + "\n") << what;
  const std::string at = "\n PROGRAM: -- ERROR: at " + file + " " + (line >= 0 ? std::to_string(line) + " : " : "");
  const size_t found = child.out.find(at);
  EXPECT_TRUE(found != std::string::npos && child.out.find(" : " + message + " ", found) != std::string::npos)
      << what << ": " << child.out;
}

ScopedTempDir::ScopedTempDir() : path_((fs::temp_directory_path() / "tunemill-test-XXXXXX").string()) {
  previous_ = fs::current_path().string();
  if (!mkdtemp(path_.data())) ADD_FAILURE() << "mkdtemp failed";
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
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteWholeFile(const std::string &path, const std::string &data) { std::ofstream(path, std::ios::binary) << data; }

bool FileExists(const std::string &path) { return fs::exists(fs::symlink_status(path)); }

bool WaitFor(const std::function<bool()> &condition, double seconds, double pollSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (; !condition(); std::this_thread::sleep_for(std::chrono::duration<double>(pollSeconds)))
    if (std::chrono::steady_clock::now() > deadline) return false;
  return true;
}
