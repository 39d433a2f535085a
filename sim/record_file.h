#pragma once

#include <string>
#include <vector>

namespace vk605::sim {

// The command record on disk: one command per line in escaped form (EscapeText), oldest first. The file
// is replaced as a whole (temporary file + rename) on every change, so a reader never sees half a record
// and a comma that follows its CR later still lands on the right line.
class RecordFile {
 public:
  explicit RecordFile(std::string path) : path_(std::move(path)) {}

  // False with an error text when the file cannot be written.
  bool Write(const std::vector<std::string>& commands, std::string& error) const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace vk605::sim
