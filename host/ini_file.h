// A small settings file of named sections holding key lines ("key=value"),
// kept in memory and on disk. A forgiving ini variant: no comments, no
// quoting, no escapes; names compare exactly (case-sensitive, untrimmed).
#pragma once

#include <string>
#include <vector>

namespace kv_share {

struct ini_entry {
  std::string key;  // at least one character
  std::string value;
};

struct ini_section {
  std::string name;  // never empty
  std::vector<ini_entry> entries;
};

// Holds all the data; load, save and reset are the derived class's.
class i_ini_file {
 public:
  virtual ~i_ini_file() = default;
  virtual int load(const std::string& path) = 0;
  virtual int save(const std::string& path) = 0;
  virtual void reset() = 0;

  // Finds or appends the section, then the key, and sets the value.
  void set_value(const std::string& section, const std::string& key, const std::string& value);
  // The entry, or null for an empty or absent section or key.
  const ini_entry* find_value(const std::string& section, const std::string& key) const;

  std::vector<ini_section> sections;  // in order of first appearance
  std::string path;                   // the path last given to load

 protected:
  i_ini_file() = default;
};

class ini_file : public i_ini_file {
 public:
  // Loads the path at once. The reset that this load calls is ini_file's own
  // (empty) one, also when a derived object is being built.
  explicit ini_file(const std::string& file_path);
  // Writes the contents back to `path`.
  ~ini_file() override;

  // 1 when the file was read, 0 when it could not be opened.
  int load(const std::string& file_path) override;
  // Writes to the given path, or to `path` when it is empty. 1 when written.
  int save(const std::string& file_path) override;
  void reset() override {}
};

}  // namespace kv_share
