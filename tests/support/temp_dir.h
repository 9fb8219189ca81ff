// A scratch folder for one test, removed with everything in it at the end.
#pragma once

#include <string>

namespace test_support {

class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// Whole-file helpers; binary, no conversion. read_file gives "" for a missing file.
bool write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_present(const std::string& path);

}  // namespace test_support
