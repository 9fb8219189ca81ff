// markd's sheet commands end to end: the real program over pipes, on
// generated photographs whose truth is the oracle.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <set>

#include "raster/image_files.h"
#include "tests/programs/markd_session.h"
#include "tests/support/x_server.h"

namespace {

using markd_test::make_sheet;
using markd_test::markd_session;
using markd_test::plain_options;
using markd_test::read_key_lines;
using markd_test::read_result;
using markd_test::sheet_files;
using test_support::file_present;
using test_support::temp_dir;

class sheet_commands : public ::testing::Test {
 protected:
  void SetUp() override {
    work = dir.file("work");
    ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
  }
  bool start(const std::string& config = "", std::vector<std::pair<std::string, std::string>> env = {}) {
    return session.start(dir.file("bin"), work, config, std::move(env));
  }
  std::string in_work(const std::string& name) const { return work + "/" + name; }

  temp_dir dir;
  std::string work;
  markd_session session;
};

// Every box of the result file against the truth, by name.
void expect_marks_match(const markd_test::result_file& r, const sheet_files& sheet, const std::string& what) {
  ASSERT_TRUE(r.header_ok) << what;
  EXPECT_TRUE(r.bad_lines.empty()) << what << ": " << (r.bad_lines.empty() ? "" : r.bad_lines.front());
  ASSERT_EQ(r.boxes.size(), sheet.truth.boxes.size()) << what;
  int wrong = 0;
  for (std::size_t i = 0; i < r.boxes.size(); ++i) {
    EXPECT_EQ(r.boxes[i].name, sheet.truth.boxes[i].name) << what;
    if (r.boxes[i].value != sheet.truth.boxes[i].marked) {
      ++wrong;
      ADD_FAILURE() << what << ": box " << r.boxes[i].name << " read " << r.boxes[i].value << ", truth "
                    << sheet.truth.boxes[i].marked;
    }
    EXPECT_GT(r.boxes[i].cx, 0) << what << " " << r.boxes[i].name;
    EXPECT_LT(r.boxes[i].cx, r.width) << what << " " << r.boxes[i].name;
    EXPECT_GT(r.boxes[i].cy, 0) << what << " " << r.boxes[i].name;
    EXPECT_LT(r.boxes[i].cy, r.height) << what << " " << r.boxes[i].name;
  }
  EXPECT_EQ(wrong, 0) << what;
}

// One turn of the sheet per test (each reads three photographs), so a slow
// sanitizer build stays well inside the per-test time limit.
class turned_sheets : public sheet_commands, public ::testing::WithParamInterface<int> {};

TEST_P(turned_sheets, every_box_is_read_and_the_sheet_located_straight_and_skewed_either_way) {
  ASSERT_TRUE(start());
  struct row {
    double skew;
    int turn;
  };
  const int turn = GetParam();
  const double skews[4][3] = {{0.0, 2.5, -3.0}, {0.0, 2.0, -2.5}, {0.0, 3.0, -2.0}, {0.0, 1.5, -3.5}};
  std::vector<row> rows;
  for (double skew : skews[turn / 90]) rows.push_back({skew, turn});
  std::uint64_t seed = 100 + static_cast<std::uint64_t>(turn);
  for (const row& r : rows) {
    const std::string what = "skew " + std::to_string(r.skew) + " turn " + std::to_string(r.turn);
    const std::string base = in_work("s" + std::to_string(seed));
    sheet_files sheet;
    ASSERT_TRUE(make_sheet(base, plain_options(seed++, r.skew, r.turn), sheet)) << what;
    EXPECT_EQ(session.exchange("readtemplate;" + sheet.template_path),
              std::vector<std::string>{"readComplete;1"});
    EXPECT_EQ(session.exchange("recognize;" + sheet.photo),
              std::vector<std::string>{"recognizeFinished"})
        << what;
    expect_marks_match(read_result(base + ".txt"), sheet, what);
    EXPECT_TRUE(file_present(base + "_cut.jpg")) << what;
    EXPECT_FALSE(file_present(base + "_cut2.jpg")) << what;
    EXPECT_FALSE(file_present(base + "_org_binary.jpg")) << what;

    EXPECT_EQ(session.exchange("locate;" + sheet.photo), std::vector<std::string>{"locateFinished"})
        << what;
    const std::string text = test_support::read_file(base + ".locate");
    EXPECT_TRUE(markd_test::locate_file_form(text))
        << what << ":\n" << text;
    const auto keys = read_key_lines(base + ".locate");
    const double angle = std::stod(keys.at("fAngle"));
    // The corners are those of the axis-parallel rectangle through the anchor
    // centres of the straightened image, so they meet the anchors exactly only
    // when the skew estimate does. On sheets lying sideways the skew search,
    // which scores horizontal rows of print, misses by up to about half a
    // degree (a limit of the analysis, reported, not of this command): there
    // the angle and corners are held to what that error allows.
    const bool sideways = r.turn == 90 || r.turn == 270;
    const double corner_tolerance = sideways ? 14.0 : 2.0;
    EXPECT_NEAR(angle, r.skew, sideways ? 0.6 : 0.3) << what;
    if (r.skew != 0.0) {
      EXPECT_EQ(angle > 0, r.skew > 0) << what << ": fAngle " << angle;
    }
    for (int c = 0; c < 4; ++c) {
      int x = 0, y = 0;
      ASSERT_EQ(std::sscanf(keys.at("corder" + std::to_string(c)).c_str(), "[%d,%d]", &x, &y), 2) << what;
      EXPECT_NEAR(x, sheet.truth.corners[c].x, corner_tolerance) << what << " corner " << c;
      EXPECT_NEAR(y, sheet.truth.corners[c].y, corner_tolerance) << what << " corner " << c;
    }
  }
  EXPECT_EQ(session.finish(), 0);
}

INSTANTIATE_TEST_SUITE_P(turns, turned_sheets, ::testing::Values(0, 90, 180, 270),
                         [](const ::testing::TestParamInfo<int>& info) { return "turn" + std::to_string(info.param); });

TEST_F(sheet_commands, patterns_write_progress_lines_in_name_order) {
  ASSERT_TRUE(start());
  sheet_files a, b;
  ASSERT_TRUE(make_sheet(in_work("beta"), plain_options(7, 1.0, 0), b));
  ASSERT_TRUE(make_sheet(in_work("Alpha"), plain_options(8, -1.0, 180), a));
  ASSERT_EQ(::rename(b.photo.c_str(), in_work("Beta.jpg").c_str()), 0);
  ASSERT_TRUE(test_support::write_file(in_work("gamma.jpg"), "not an image at all"));
  ASSERT_EQ(::mkdir(in_work("folder.jpg").c_str(), 0755), 0);  // folders are not listed
  EXPECT_EQ(markd_test::last(session.exchange("readtemplate;" + a.template_path)), "readComplete;1");

  auto names_of = [&](const std::vector<std::string>& lines, const std::string& last) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      int index = 0, count = 0;
      std::string name;
      EXPECT_TRUE(markd_test::parse_progress(lines[i], index, count, name)) << lines[i];
      EXPECT_EQ(index, static_cast<int>(i + 1));
      EXPECT_EQ(count, static_cast<int>(lines.size() - 1));
      names.push_back(name);
    }
    EXPECT_EQ(lines.back(), last);
    return names;
  };
  const std::vector<std::string> order{"Alpha.jpg", "Beta.jpg", "gamma.jpg"};
  EXPECT_EQ(names_of(session.exchange("recognize;" + work + "/*.jpg"), "recognizeFinished"), order);
  expect_marks_match(read_result(in_work("Alpha.txt")), a, "Alpha");
  expect_marks_match(read_result(in_work("Beta.txt")), b, "Beta");
  EXPECT_FALSE(file_present(in_work("gamma.txt")));

  // The last file decides locate's reply. (The pattern leaves out the cut images.)
  EXPECT_EQ(names_of(session.exchange("locate;" + work + "/*a.jpg"), "locateError"), order);
  EXPECT_TRUE(file_present(in_work("Alpha.locate")));
  EXPECT_TRUE(file_present(in_work("Beta.locate")));
  EXPECT_EQ(names_of(session.exchange("locate;" + work + "/[AB]*.jpg"), "locateError"),
            std::vector<std::string>{});
  EXPECT_EQ(names_of(session.exchange("locate;" + work + "/?e*a.jpg"), "locateFinished"),
            std::vector<std::string>{"Beta.jpg"});
  // Nothing matched.
  EXPECT_EQ(session.exchange("recognize;" + work + "/*.png"),
            std::vector<std::string>{"recognizeFinished"});
  EXPECT_EQ(session.exchange("locate;" + work + "/*.png"), std::vector<std::string>{"locateError"});
  EXPECT_EQ(session.finish(), 0);
}

TEST_F(sheet_commands, output_type_decides_the_debug_images) {
  struct row {
    const char* config;
    bool debug;
  };
  const row rows[] = {{"[output]\noutput_type=1", true}, {"[output]\noutput_type=0", false}, {"", false}};
  int n = 0;
  for (const row& r : rows) {
    markd_session s;
    ASSERT_TRUE(s.start(dir.file("bin" + std::to_string(n)), work, r.config));
    const std::string base = in_work("o" + std::to_string(n++));
    sheet_files sheet;
    ASSERT_TRUE(make_sheet(base, plain_options(40 + n, 1.0, 90), sheet));
    s.exchange("readtemplate;" + sheet.template_path);
    EXPECT_EQ(markd_test::last(s.exchange("recognize;" + sheet.photo)), "recognizeFinished");
    EXPECT_TRUE(file_present(base + ".txt")) << r.config;
    EXPECT_TRUE(file_present(base + "_cut.jpg")) << r.config;
    EXPECT_EQ(file_present(base + "_cut2.jpg"), r.debug) << r.config;
    EXPECT_EQ(file_present(base + "_org_binary.jpg"), r.debug) << r.config;
    EXPECT_EQ(s.finish(), 0);
  }
}

TEST_F(sheet_commands, the_trace_of_one_sheet_carries_the_step_labels_in_order) {
  const std::string trace = dir.file("trace.txt");
  ASSERT_TRUE(start("", {{"MARKD_TRACE", trace}}));
  sheet_files sheet;
  ASSERT_TRUE(make_sheet(in_work("t"), plain_options(5, 2.0, 0), sheet));
  session.exchange("readtemplate;" + sheet.template_path);
  session.exchange("recognize;" + sheet.photo);
  EXPECT_EQ(session.finish(), 0);
  std::vector<std::string> labels;
  const std::string text = test_support::read_file(trace);
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    at = end + 1;
    if (line.empty()) continue;
    const auto colon = line.find(':');
    labels.push_back(colon == std::string::npos ? line : line.substr(0, colon + 1));
  }
  const std::vector<std::string> expected{"start {{",
                                          "_________binary:",
                                          "______________angle.step1:",
                                          "______________angle.step2:",
                                          "______________angle.step3:",
                                          "_________angle:",
                                          "_________rotate_self:",
                                          "_________binary:",
                                          "_______________________floodfill.cluster:",
                                          "______________locate.floodfill:",
                                          "______________locate.cluster:",
                                          "_________locate:",
                                          "_________match:",
                                          "end }} timecost:"};
  EXPECT_EQ(labels, expected) << text;
}

TEST_F(sheet_commands, enhance_writes_the_enhanced_image_at_the_set_resolution) {
  ASSERT_TRUE(start());
  sheet_files sheet;
  ASSERT_TRUE(make_sheet(in_work("page"), plain_options(9, 0.5, 0), sheet));
  EXPECT_EQ(session.exchange("enhance;" + sheet.photo + ";20;65"),
            std::vector<std::string>{"locateFinished"});
  auto first = load_bitmap_file(in_work("page_enhance.jpg"));
  ASSERT_TRUE(first && first->has_image());
  EXPECT_FLOAT_EQ(first->dpi_x(), 96.0f);
  EXPECT_EQ(first->width(), 3264);

  EXPECT_EQ(session.exchange("setdpi;200;100"), std::vector<std::string>{"done"});
  EXPECT_EQ(markd_test::last(session.exchange("enhance;" + sheet.photo + ";50;50")), "locateFinished");
  auto second = load_bitmap_file(in_work("page_enhance.jpg"));
  ASSERT_TRUE(second && second->has_image());
  EXPECT_FLOAT_EQ(second->dpi_x(), 200.0f);
  EXPECT_FLOAT_EQ(second->dpi_y(), 100.0f);

  // A resolution the file cannot record keeps the bitmap's own.
  EXPECT_EQ(session.exchange("setdpi;abc;0"), std::vector<std::string>{"done"});
  ASSERT_TRUE(test_support::write_file(in_work("page_enhance.jpg"), ""));
  EXPECT_EQ(markd_test::last(session.exchange("enhance;" + sheet.photo + ";50;50")), "locateFinished");
  auto third = load_bitmap_file(in_work("page_enhance.jpg"));
  ASSERT_TRUE(third && third->has_image());
  EXPECT_GT(third->dpi_x(), 0.0f);

  // Pattern form: progress lines, a file that is no image still counts.
  ASSERT_TRUE(test_support::write_file(in_work("zz.jpg"), "text"));
  const auto lines = session.exchange("enhance;" + work + "/p*ge.jpg;10;10");
  ASSERT_EQ(lines.size(), 2u);
  int index = 0, count = 0;
  std::string name;
  EXPECT_TRUE(markd_test::parse_progress(lines[0], index, count, name)) << lines[0];
  EXPECT_EQ(name, "page.jpg");
  EXPECT_EQ(index, 1);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(session.exchange("enhance;" + in_work("zz.jpg") + ";10;10"),
            std::vector<std::string>{"locateFinished"});
  EXPECT_FALSE(file_present(in_work("zz_enhance.jpg")));
  EXPECT_EQ(session.exchange("enhance;" + in_work("missing.jpg") + ";10;10"),
            std::vector<std::string>{"locateError"});
  EXPECT_EQ(session.exchange("enhance;" + work + "/*.png;10;10"),
            std::vector<std::string>{"locateError"});
  EXPECT_EQ(session.finish(), 0);
}

TEST_F(sheet_commands, wrong_field_counts_are_silent_or_answer_locate_error) {
  ASSERT_TRUE(start());
  for (const char* line : {"recognize", "recognize;a;b;c", "match", "match;a;b", "readtemplate",
                           "readtemplate;a;b", "setdpi;300", "setdpi;1;2;3", "match;/no/such/file.jpg"}) {
    EXPECT_TRUE(session.silent_on(line)) << line;
  }
  for (const char* line : {"locate", "locate;a;b;c", "enhance;a;50", "enhance", "enhance;a;b;c;d;e"}) {
    EXPECT_EQ(session.exchange(line), std::vector<std::string>{"locateError"}) << line;
  }
  EXPECT_EQ(session.exchange("readtemplate;"), std::vector<std::string>{"readComplete;0"});
  EXPECT_EQ(session.exchange("recognize;/no/such/file.jpg"),
            std::vector<std::string>{"recognizeFinished"});
  EXPECT_EQ(session.exchange("locate;/no/such/file.jpg"), std::vector<std::string>{"locateError"});
  EXPECT_EQ(session.finish(), 0);
}

TEST_F(sheet_commands, match_reads_an_image_as_stored_and_writes_nothing) {
  ASSERT_TRUE(start());
  sheet_files sheet;
  ASSERT_TRUE(make_sheet(in_work("m"), plain_options(3, 0.0, 0), sheet));
  session.exchange("readtemplate;" + sheet.template_path);
  EXPECT_EQ(session.exchange("match;" + sheet.photo), std::vector<std::string>{"matchFinished"});
  EXPECT_FALSE(file_present(in_work("m.txt")));
  ASSERT_TRUE(test_support::write_file(in_work("n.jpg"), "not an image"));
  EXPECT_EQ(session.exchange("match;" + in_work("n.jpg")), std::vector<std::string>{"matchFinished"});
  EXPECT_EQ(session.finish(), 0);
}

TEST_F(sheet_commands, templates_without_groups_give_a_header_only_result) {
  ASSERT_TRUE(start());
  sheet_files sheet;
  ASSERT_TRUE(make_sheet(in_work("h"), plain_options(11, 0.0, 0), sheet));
  // No template loaded yet: the header alone, with the cut area's size.
  EXPECT_EQ(markd_test::last(session.exchange("recognize;" + sheet.photo)), "recognizeFinished");
  const auto none = read_result(in_work("h.txt"));
  EXPECT_TRUE(none.header_ok);
  EXPECT_TRUE(none.boxes.empty());
  EXPECT_GT(none.width, 1000);
  // A single box forms no group; a header of zero size matches nothing.
  for (const std::string& text : {std::string("width=1840;height=2710\n1.A=0[300,300,33,20]\n"),
                                  std::string("width=0;height=2710\n1.A=0[300,300,33,20]\n1.B=0[395,300,33,20]\n")}) {
    ASSERT_TRUE(test_support::write_file(in_work("one.txt"), text));
    EXPECT_EQ(markd_test::last(session.exchange("readtemplate;" + in_work("one.txt"))), "readComplete;1");
    ASSERT_EQ(::unlink(in_work("h.txt").c_str()), 0);
    EXPECT_EQ(markd_test::last(session.exchange("recognize;" + sheet.photo)), "recognizeFinished");
    const auto r = read_result(in_work("h.txt"));
    EXPECT_TRUE(r.header_ok) << text;
    EXPECT_TRUE(r.boxes.empty()) << text;
  }
  EXPECT_EQ(session.finish(), 0);
}

TEST_F(sheet_commands, bad_input_gets_the_stated_replies_and_no_partial_files) {
  ASSERT_TRUE(start());
  sheet_files sheet;
  ASSERT_TRUE(make_sheet(in_work("good"), plain_options(21, 1.0, 0), sheet));
  const std::string jpeg = test_support::read_file(sheet.photo);
  ASSERT_TRUE(test_support::write_file(in_work("half.jpg"), jpeg.substr(0, jpeg.size() / 2)));
  ASSERT_TRUE(test_support::write_file(in_work("text.jpg"), "this is not an image\n"));
  ASSERT_TRUE(test_support::write_file(in_work("empty.jpg"), ""));

  // Garbage and over-long template lines load without harm.
  std::string garbage = "\x01\xff==[[,,]]\n";
  for (int i = 0; i < 300; ++i) garbage += static_cast<char>((i * 37 + 11) % 256);
  garbage += "\n" + std::string(150, 'q') + "=1[1,2,3,4]\n";
  ASSERT_TRUE(test_support::write_file(in_work("garbage.txt"), garbage));
  EXPECT_EQ(markd_test::last(session.exchange("readtemplate;" + in_work("garbage.txt"))), "readComplete;1");
  EXPECT_EQ(markd_test::last(session.exchange("recognize;" + sheet.photo)), "recognizeFinished");
  EXPECT_TRUE(read_result(in_work("good.txt")).header_ok);

  session.exchange("readtemplate;" + sheet.template_path);
  for (const char* name : {"half", "text", "empty"}) {
    const std::string photo = in_work(std::string(name) + ".jpg");
    EXPECT_EQ(markd_test::last(session.exchange("recognize;" + photo)), "recognizeFinished") << name;
    EXPECT_EQ(markd_test::last(session.exchange("locate;" + photo)), "locateError") << name;
    EXPECT_FALSE(file_present(in_work(std::string(name) + ".txt"))) << name;
    EXPECT_FALSE(file_present(in_work(std::string(name) + ".locate"))) << name;
  }

  // Outputs that cannot be created (a folder holds the name; this works for
  // root too): the replies stay, the folders stay folders.
  ASSERT_TRUE(markd_test::copy_file(sheet.photo, in_work("blocked.jpg"), 0644));
  ASSERT_EQ(::mkdir(in_work("blocked.txt").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(in_work("blocked.locate").c_str(), 0755), 0);
  EXPECT_EQ(markd_test::last(session.exchange("recognize;" + in_work("blocked.jpg"))), "recognizeFinished");
  EXPECT_EQ(markd_test::last(session.exchange("locate;" + in_work("blocked.jpg"))), "locateFinished");
  struct stat info {};
  EXPECT_TRUE(::stat(in_work("blocked.txt").c_str(), &info) == 0 && S_ISDIR(info.st_mode));
  EXPECT_TRUE(::stat(in_work("blocked.locate").c_str(), &info) == 0 && S_ISDIR(info.st_mode));
  EXPECT_TRUE(file_present(in_work("blocked_cut.jpg")));

  // A file name too long for the 254-byte progress line is cut; the line keeps its form.
  const std::string long_dir = dir.file("long");
  ASSERT_EQ(::mkdir(long_dir.c_str(), 0755), 0);
  const std::string long_name = std::string(246, 'L') + ".jpg";
  ASSERT_TRUE(test_support::write_file(long_dir + "/" + long_name, "not an image"));
  for (const std::string command : {"recognize;", "locate;"}) {
    const auto lines = session.exchange(command + long_dir + "/*.jpg");
    ASSERT_EQ(lines.size(), 2u) << command;
    EXPECT_LE(lines[0].size(), 254u) << command;
    int index = 0, count = 0;
    std::string name;
    EXPECT_TRUE(markd_test::parse_progress(lines[0], index, count, name)) << lines[0];
    EXPECT_EQ(index, 1);
    EXPECT_EQ(name, std::string(name.size(), 'L'));
    EXPECT_GT(name.size(), 200u);
  }

  if (::geteuid() != 0) {  // root writes into read-only folders
    const std::string ro = dir.file("ro");
    ASSERT_EQ(::mkdir(ro.c_str(), 0755), 0);
    ASSERT_TRUE(markd_test::copy_file(sheet.photo, ro + "/s.jpg", 0644));
    ASSERT_EQ(::chmod(ro.c_str(), 0555), 0);
    EXPECT_EQ(markd_test::last(session.exchange("recognize;" + ro + "/s.jpg")), "recognizeFinished");
    EXPECT_EQ(markd_test::last(session.exchange("locate;" + ro + "/s.jpg")), "locateFinished");
    EXPECT_EQ(markd_test::last(session.exchange("enhance;" + ro + "/s.jpg;5;5")), "locateFinished");
    EXPECT_FALSE(file_present(ro + "/s.txt"));
    EXPECT_FALSE(file_present(ro + "/s.locate"));
    EXPECT_FALSE(file_present(ro + "/s_cut.jpg"));
    ::chmod(ro.c_str(), 0755);
  }
  EXPECT_EQ(session.finish(), 0);
}

class clipboard_commands : public sheet_commands {
 protected:
  void SetUp() override {
    sheet_commands::SetUp();
    if (!test_support::x_tools_available()) GTEST_SKIP() << "Xvfb or xclip missing";
    if (!x.start()) GTEST_SKIP() << x.error();
  }
  test_support::x_server x;
};

TEST_F(clipboard_commands, recognize_locate_and_enhance_take_the_clipboard_image) {
  ASSERT_TRUE(start("", {{"DISPLAY", x.display()}}));
  sheet_files sheet;
  sheetgen::rendered_sheet rendered;
  std::string error;
  auto options = plain_options(31, -1.5, 270);
  ASSERT_TRUE(sheetgen::render_sheet(options, rendered, error)) << error;
  ASSERT_TRUE(sheetgen::write_sheet_files(in_work("clip"), rendered, 90, true, error)) << error;
  ASSERT_TRUE(x.set_clipboard_file(in_work("clip.png"), "image/png")) << x.error();
  sheet.truth = rendered.truth;

  session.exchange("readtemplate;" + in_work("clip_template.txt"));
  EXPECT_EQ(session.exchange("recognize;x;" + in_work("out.jpg")),
            std::vector<std::string>{"recognizeFinished"});
  expect_marks_match(read_result(in_work("out.txt")), sheet, "clipboard");
  EXPECT_TRUE(file_present(in_work("out_cut.jpg")));

  EXPECT_EQ(session.exchange("locate;x;" + in_work("clip.locate")),
            std::vector<std::string>{"locateFinished"});
  const auto keys = read_key_lines(in_work("clip.locate"));
  EXPECT_LT(std::stod(keys.at("fAngle")), 0.0);

  EXPECT_EQ(session.exchange("enhance;x;" + in_work("clip_out.jpg") + ";20;65"),
            std::vector<std::string>{"locateFinished"});
  EXPECT_TRUE(file_present(in_work("clip_out.jpg")));

  // An empty output path: answered, nothing written.
  EXPECT_EQ(session.exchange("recognize;x;"), std::vector<std::string>{"recognizeFinished"});
  EXPECT_FALSE(file_present(in_work(".txt")));
  EXPECT_FALSE(file_present(in_work("_cut.jpg")));

  // Text only on the clipboard: recognize stays silent, the others answer locateError.
  ASSERT_TRUE(x.set_clipboard_text("just text"));
  EXPECT_TRUE(session.silent_on("recognize;x;" + in_work("none.jpg")));
  EXPECT_EQ(session.exchange("locate;x;" + in_work("none.locate")), std::vector<std::string>{"locateError"});
  EXPECT_EQ(session.exchange("enhance;x;" + in_work("none.jpg") + ";1;1"), std::vector<std::string>{"locateError"});
  x.clear_clipboard();
  EXPECT_TRUE(session.silent_on("recognize;x;" + in_work("none.jpg")));
  EXPECT_EQ(session.exchange("locate;x;" + in_work("none.locate")), std::vector<std::string>{"locateError"});
  EXPECT_FALSE(file_present(in_work("none.txt")));
  EXPECT_FALSE(file_present(in_work("none.locate")));
  EXPECT_FALSE(file_present(in_work("none.jpg")));
  EXPECT_EQ(session.finish(), 0);
}

}  // namespace
