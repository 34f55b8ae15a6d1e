// Shared test helpers: child processes for fatal paths, a private working folder, file access.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ChildResult {
  bool exited = false;  // false when the child was killed by a signal
  int exitCode = -1;
  int signal = 0;
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs `body` in a forked child and waits for it. The child has no display (DISPLAY and WAYLAND_DISPLAY
// unset), so a fatal error's message box goes to standard error instead of waiting for a click. A body
// that returns ends the child with exit code 99.
ChildResult RunChild(const std::function<void()> &body);

// Runs `body` in a child (RunChild) and expects the fatal path of source `file`: exit code 0, `message`
// alone in the "ERROR" box (standard error without a display), and the log line
// " PROGRAM: -- ERROR: at <file> <line> : <message> " on standard output; `line` is checked unless it is -1.
// `what` names the case in failure messages.
void ExpectFatal(const std::function<void()> &body, const std::string &file, const std::string &message,
                 int line = -1, const std::string &what = "");

// A fresh temporary folder that is the working directory while the object lives.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir &) = delete;
  ScopedTempDir &operator=(const ScopedTempDir &) = delete;
  const std::string &path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// Polls `condition` every `pollSeconds` until it holds (true) or `seconds` have passed (false).
bool WaitFor(const std::function<bool()> &condition, double seconds = 3, double pollSeconds = 0.002);

// An archive member laid out byte by byte as the format has it, independently of the library's writer: the
// 273-byte header (magic, name in 256 bytes, a reserved 0, stored, unpacked and packed sizes), then
// `data`. StoredMember is a member kept as it is.
std::string ArchiveMember(const std::string &name, const std::string &data, uint32_t unpackedSize = 0,
                          uint32_t packed = 0, uint32_t magic = 0x666);
std::string StoredMember(const std::string &name, const std::string &data);
// The extraction's temporary files ("_#q_<n>.t$p") in the working folder.
std::vector<std::string> TemporaryFilesLeft();

std::string ReadWholeFile(const std::string &path);
void WriteWholeFile(const std::string &path, const std::string &bytes);
bool FileExists(const std::string &path);
