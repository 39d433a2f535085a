#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vk605::tooltest {

struct ToolResult {
  int exit_code = -1;      // 128 + signal when killed
  bool signalled = false;  // ended by a signal rather than by exit
  std::string out;
  std::string err;
};

struct RunOptions {
  // stdin and stderr on a pseudo-terminal (an interactive session), stdout still a pipe.
  bool terminal = false;
  // Sees stdout and stderr as they grow; returning true once sends SIGINT to the program (Ctrl-C).
  std::function<bool(const std::string& out, const std::string& err)> on_output;
};

// A private home for one test: XDG directories, the registry stand-in and a copy of the driver library
// live under it, so runs never touch the user's or another test's files. Removed afterwards.
class ToolHome {
 public:
  ToolHome();
  ~ToolHome();
  const std::filesystem::path& Path() const { return path_; }
  // A driver copy in its own directory (for --driver), so its VK605.INI is the test's own.
  std::string DriverCopy();

  // Runs the vk605 program with args and this home's environment. on_stderr sees stderr as it grows and
  // may return true once to have SIGINT sent to the program (Ctrl-C).
  ToolResult Run(const std::vector<std::string>& args,
                 const std::function<bool(const std::string&)>& on_stderr = nullptr) const;
  ToolResult Run(const std::vector<std::string>& args, const RunOptions& options) const;

 private:
  std::filesystem::path path_;
};

// The 31 simulator values for a flat reflector of the given percentage.
std::string FlatSpectrumOption(double percent);

// The whole content of a file the program wrote (empty when it is missing).
std::string ReadText(const std::filesystem::path& path);

}  // namespace vk605::tooltest
