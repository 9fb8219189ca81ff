// Path functions and wildcard file lists.
#include "raster/paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <string>
#include <vector>

#include "raster/image_files.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(paths, path_functions) {
  struct path_case {
    const char* path;
    const char* file_name;
    const char* folder;
    const char* extension;
    const char* title;
  };
  const path_case cases[] = {
      {"/scans/a.jpg", "a.jpg", "/scans", "jpg", "a"},
      {"a.jpg", "a.jpg", "", "jpg", "a"},
      {"/scans/a.b.jpg", "a.b.jpg", "/scans", "jpg", "a.b"},
      {"/scans/readme", "readme", "/scans", "", ""},
      {"/sc.ans/readme", "readme", "/sc.ans", "", ""},
      {"/scans/a.JPG", "a.JPG", "/scans", "JPG", "a"},
      {"/scans/", "", "/scans", "", ""},
      {"", "", "", "", ""},
      {"C:\\scans\\a.jpg", "C:\\scans\\a.jpg", "", "jpg", "C:\\scans\\a"},  // '\' is an ordinary character
  };
  for (const path_case& c : cases) {
    EXPECT_EQ(path_file_name(c.path), c.file_name) << c.path;
    EXPECT_EQ(path_folder(c.path), c.folder) << c.path;
    EXPECT_EQ(path_extension(c.path), c.extension) << c.path;
    EXPECT_EQ(path_title(c.path), c.title) << c.path;
  }
}

TEST(paths, replace_extension) {
  EXPECT_EQ(replace_extension("/a/b.jpg", "_enhance.jpg"), "/a/b_enhance.jpg");
  EXPECT_EQ(replace_extension("/a/b.c.jpg", "_enhance.jpg"), "/a/b.c_enhance.jpg");
  EXPECT_EQ(replace_extension("/a/b", "_enhance.jpg"), "/a/b_enhance.jpg");
  EXPECT_EQ(replace_extension("/a/b.", "_enhance.jpg"), "/a/b._enhance.jpg");
  EXPECT_EQ(replace_extension("/a.d/b", ".locate"), "/a.d/b.locate");
}

class file_list : public ::testing::Test {
 protected:
  void touch(const std::string& name) { ASSERT_TRUE(test_support::write_file(dir_.file(name), "x")); }
  std::vector<std::string> list(const std::string& pattern) {
    std::vector<std::string> out;
    list_matching_files(pattern, out);
    return out;
  }
  test_support::temp_dir dir_;
};

TEST_F(file_list, ordered_by_lower_cased_title) {
  for (const char* n : {"Zeta.jpg", "alpha.jpg", "Beta.jpg", "notes.txt"}) touch(n);
  const std::string d = dir_.path();
  EXPECT_EQ(list(d + "/*.jpg"), (std::vector<std::string>{d + "/alpha.jpg", d + "/Beta.jpg", d + "/Zeta.jpg"}));
  // Titles alone decide: no-dot names (empty key) first, a prefix before longer titles, extension ignored.
  touch("README");
  touch("alpha2.png");
  touch("al.png");
  EXPECT_EQ(list(d + "/*"), (std::vector<std::string>{d + "/README", d + "/al.png", d + "/alpha.jpg",
                                                      d + "/alpha2.png", d + "/Beta.jpg", d + "/notes.txt",
                                                      d + "/Zeta.jpg"}));
}

TEST_F(file_list, appends_and_matches_case_insensitively) {
  for (const char* n : {"a.JPG", "b.jpg", "c.jpeg", "[x].jpg", "d1.jpg", "d22.jpg"}) touch(n);
  const std::string d = dir_.path();
  std::vector<std::string> out{"kept"};
  list_matching_files(d + "/*.jpg", out);
  EXPECT_EQ(out, (std::vector<std::string>{"kept", d + "/[x].jpg", d + "/a.JPG", d + "/b.jpg", d + "/d1.jpg",
                                           d + "/d22.jpg"}));
  EXPECT_EQ(list(d + "/d?.jpg"), (std::vector<std::string>{d + "/d1.jpg"}));
  EXPECT_EQ(list(d + "/[x].jpg"), (std::vector<std::string>{d + "/[x].jpg"}));  // '[' is itself
  EXPECT_EQ(list(d + "/B.JPG"), (std::vector<std::string>{d + "/b.jpg"}));
  EXPECT_TRUE(list(d + "/*.png").empty());
  EXPECT_TRUE(list(d + "/missing/*.jpg").empty());
}

TEST_F(file_list, doubled_separators_are_thinned) {
  touch("a.jpg");
  const std::string d = dir_.path();
  EXPECT_EQ(list(d + "//*.jpg"), (std::vector<std::string>{d + "/a.jpg"}));
}

TEST_F(file_list, folders_are_not_listed_links_to_files_are) {
  touch("real.jpg");
  ASSERT_EQ(mkdir(dir_.file("x.jpg").c_str(), 0755), 0);
  ASSERT_EQ(symlink(dir_.file("real.jpg").c_str(), dir_.file("link.jpg").c_str()), 0);
  ASSERT_EQ(symlink(dir_.file("x.jpg").c_str(), dir_.file("dirlink.jpg").c_str()), 0);
  const std::string d = dir_.path();
  EXPECT_EQ(list(d + "/*.jpg"), (std::vector<std::string>{d + "/link.jpg", d + "/real.jpg"}));
}

TEST_F(file_list, a_pattern_without_separator_searches_the_current_folder) {
  touch("here.jpg");
  touch("there.png");
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  const auto found = list("*.jpg");
  ASSERT_EQ(chdir(old), 0);
  EXPECT_EQ(found, (std::vector<std::string>{"here.jpg"}));
}

TEST(files, file_exists) {
  test_support::temp_dir dir;
  ASSERT_TRUE(test_support::write_file(dir.file("a.txt"), "x"));
  ASSERT_TRUE(test_support::write_file(dir.file("empty.txt"), ""));
  ASSERT_EQ(mkdir(dir.file("folder").c_str(), 0755), 0);
  EXPECT_TRUE(file_exists(dir.file("a.txt")));
  EXPECT_TRUE(file_exists(dir.file("empty.txt")));
  EXPECT_FALSE(file_exists(""));
  EXPECT_FALSE(file_exists(dir.file("missing")));
  EXPECT_FALSE(file_exists(dir.file("folder")));
  EXPECT_EQ(load_bitmap_file(dir.file("missing")), nullptr);
  EXPECT_EQ(load_bitmap_file(dir.file("folder")), nullptr);
  auto no_image = load_bitmap_file(dir.file("a.txt"));  // exists, does not decode
  ASSERT_NE(no_image, nullptr);
  EXPECT_FALSE(no_image->has_image());
}

TEST(text, to_ansi_keeps_utf8_text) {
  const std::string name = "Gr\xC3\xBC\xC3\x9F" "e.jpg";
  EXPECT_EQ(to_ansi(name), name);  // C locale: passed on as it is
  if (std::setlocale(LC_ALL, "C.UTF-8")) {
    EXPECT_EQ(to_ansi(name), name);
    std::setlocale(LC_ALL, "C");
  }
  EXPECT_EQ(to_ansi(""), "");
}

}  // namespace
