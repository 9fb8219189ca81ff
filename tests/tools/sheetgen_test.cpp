// The sheet generator: determinism, anchors the reader accepts, marks the
// reader's rule sees, a template in the reader's format, the truth record
// and the command-line program.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/image_codec.h"
#include "tests/support/pipe_driver.h"
#include "tests/support/temp_dir.h"
#include "tools/sheetgen/sheetgen.h"

namespace {

using sheetgen::rendered_sheet;
using sheetgen::sheet_options;

// ---- a small model of the reader's anchor rules, measured as it measures

struct region {
  int pixels = 0;
  int min_x = 0, max_x = 0, min_y = 0, max_y = 0;
  int box_width() const { return max_x - min_x + 2; }  // the reader counts one column more
  int box_height() const { return max_y - min_y + 1; }
  float fill() const { return static_cast<float>(pixels) / static_cast<float>(box_width() * box_height()); }
  float elongation() const {
    const float w = static_cast<float>(box_width()), h = static_cast<float>(box_height());
    return w > h ? w / h : h / w;
  }
  bool anchor_like() const {
    return pixels > 600 && pixels < 2000 && fill() >= 0.65f && elongation() <= 1.1f && elongation() >= 0.99;
  }
  double centre_x() const { return (min_x + max_x) / 2.0; }
  double centre_y() const { return (min_y + max_y) / 2.0; }
};

bool dark(const std::uint8_t* p) {
  const int b = p[0], g = p[1], r = p[2];
  return b + g + r <= 300 && g - (b + r) / 2 <= 50;
}

// 4-connected dark regions of the image (frame excluded, as the reader paints it white).
std::vector<region> dark_regions(const platform::bitmap& img) {
  const int w = img.width(), h = img.height();
  std::vector<int> label(static_cast<std::size_t>(w) * h, 0);
  auto is_dark = [&](int x, int y) {
    return x > 0 && y > 0 && x < w - 1 && y < h - 1 && dark(img.row(y) + 3 * x);
  };
  std::vector<region> out;
  std::vector<std::pair<int, int>> stack;
  for (int y = 1; y < h - 1; ++y)
    for (int x = 1; x < w - 1; ++x) {
      if (label[static_cast<std::size_t>(y) * w + x] || !is_dark(x, y)) continue;
      region r{0, x, x, y, y};
      const int id = static_cast<int>(out.size()) + 1;
      label[static_cast<std::size_t>(y) * w + x] = id;
      stack.assign(1, {x, y});
      while (!stack.empty()) {
        auto [cx, cy] = stack.back();
        stack.pop_back();
        ++r.pixels;
        r.min_x = std::min(r.min_x, cx), r.max_x = std::max(r.max_x, cx);
        r.min_y = std::min(r.min_y, cy), r.max_y = std::max(r.max_y, cy);
        const int nx[4] = {cx, cx + 1, cx - 1, cx}, ny[4] = {cy + 1, cy, cy, cy - 1};
        for (int k = 0; k < 4; ++k) {
          int& l = label[static_cast<std::size_t>(ny[k]) * w + nx[k]];
          if (!l && is_dark(nx[k], ny[k])) {
            l = id;
            stack.push_back({nx[k], ny[k]});
          }
        }
      }
      out.push_back(r);
    }
  return out;
}

std::vector<region> anchor_candidates(const platform::bitmap& img) {
  std::vector<region> c;
  for (const region& r : dark_regions(img))
    if (r.anchor_like()) c.push_back(r);
  return c;
}

rendered_sheet render_or_fail(const sheet_options& o) {
  rendered_sheet s;
  std::string error;
  EXPECT_TRUE(sheetgen::render_sheet(o, s, error)) << error;
  return s;
}

sheet_options straight(int w, int h, std::uint64_t seed) {
  sheet_options o;
  o.seed = seed;
  o.photo_width = w;
  o.photo_height = h;
  return o;
}

// ---- determinism

TEST(sheetgen, same_seed_gives_same_bytes_and_another_seed_does_not) {
  sheet_options o = sheetgen::varied_options(7, 1632, 1224);
  o.anchor_pixels = 36;
  const rendered_sheet a = render_or_fail(o);
  const rendered_sheet b = render_or_fail(o);
  ASSERT_TRUE(a.photo.has_image());
  ASSERT_EQ(a.photo.byte_size(), b.photo.byte_size());
  EXPECT_EQ(0, std::memcmp(a.photo.pixels(), b.photo.pixels(), a.photo.byte_size()));
  EXPECT_EQ(a.template_text, b.template_text);
  EXPECT_EQ(sheetgen::format_truth(a.truth), sheetgen::format_truth(b.truth));
  std::vector<std::uint8_t> ja, jb;
  ASSERT_TRUE(platform::encode_jpeg(a.photo, o.jpeg_quality, ja));
  ASSERT_TRUE(platform::encode_jpeg(b.photo, o.jpeg_quality, jb));
  EXPECT_EQ(ja, jb);

  o.seed = 8;
  const rendered_sheet c = render_or_fail(o);
  EXPECT_NE(0, std::memcmp(a.photo.pixels(), c.photo.pixels(), a.photo.byte_size()));
  EXPECT_NE(a.truth.marked_names(), c.truth.marked_names());
}

TEST(sheetgen, the_marks_do_not_move_when_only_the_camera_changes) {
  sheet_options o = straight(1632, 1224, 21);
  const rendered_sheet a = render_or_fail(o);
  o.blur = 1.0;
  o.noise = 3;
  o.desk = sheetgen::desk_kind::mat;
  const rendered_sheet b = render_or_fail(o);
  EXPECT_EQ(a.truth.marked_names(), b.truth.marked_names());
}

// ---- anchors

struct anchor_case {
  const char* label;
  int width, height;
  double noise, blur, light;
  sheetgen::desk_kind desk;
};

class sheetgen_anchor : public ::testing::TestWithParam<anchor_case> {};

TEST_P(sheetgen_anchor, straight_render_has_exactly_four_anchor_candidates_on_the_truth_corners) {
  const anchor_case& c = GetParam();
  sheet_options o = straight(c.width, c.height, 11);
  o.noise = c.noise;
  o.blur = c.blur;
  o.light = c.light;
  o.desk = c.desk;
  o.style = sheetgen::mark_style::pen;  // solid fills are the likeliest to pass for anchors
  const rendered_sheet s = render_or_fail(o);
  const std::vector<region> cand = anchor_candidates(s.photo);
  ASSERT_EQ(4u, cand.size()) << c.label;
  // Each truth corner has its candidate, and the sizes sit well inside 600..2000.
  std::vector<float> fill(4);
  for (int i = 0; i < 4; ++i) {
    const sheetgen::point_d t = s.truth.sheet_corners[i];
    const region* hit = nullptr;
    for (const region& r : cand)
      if (std::fabs(r.centre_x() - t.x) <= 1.5 && std::fabs(r.centre_y() - t.y) <= 1.5) hit = &r;
    ASSERT_NE(nullptr, hit) << c.label << " corner " << i << " at " << t.x << "," << t.y;
    EXPECT_GT(hit->pixels, 800) << c.label << " corner " << i;
    EXPECT_LT(hit->pixels, 1800) << c.label << " corner " << i;
    fill[i] = hit->fill();
  }
  // Top anchors (sheet corners 0 and 1) are fuller than both bottom ones.
  EXPECT_GT(std::min(fill[0], fill[1]), std::max(fill[2], fill[3]) + 0.08f) << c.label;
  EXPECT_EQ(0, s.truth.orientation);
}

INSTANTIATE_TEST_SUITE_P(
    sizes, sheetgen_anchor,
    ::testing::Values(anchor_case{"clean_1632", 1632, 1224, 0, 0, 0, sheetgen::desk_kind::grey},
                      anchor_case{"photo_1632", 1632, 1224, 3, 0.9, 1.0, sheetgen::desk_kind::wood},
                      anchor_case{"photo_2592", 2592, 1944, 3, 0.9, 1.0, sheetgen::desk_kind::mat},
                      anchor_case{"photo_3264", 3264, 2448, 4, 1.1, 1.0, sheetgen::desk_kind::grey}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(sheetgen, no_filled_box_passes_for_an_anchor_whatever_the_tool) {
  const sheetgen::mark_style styles[] = {sheetgen::mark_style::pen, sheetgen::mark_style::pencil};
  for (auto style : styles) {
    sheet_options o = straight(1632, 1224, 5);
    o.style = style;
    o.choice = sheetgen::mark_choice::listed;
    for (const auto& b : sheetgen::sheet_layout(true)) o.marked.push_back(b.name);  // every box filled
    const rendered_sheet s = render_or_fail(o);
    EXPECT_EQ(4u, anchor_candidates(s.photo).size()) << "style " << static_cast<int>(style);
  }
}

// Where each sheet corner lies for a turn, and the anchors are where the truth says.
struct turn_case {
  int turn;
  double skew;
  int orientation;
};

class sheetgen_turn : public ::testing::TestWithParam<turn_case> {};

TEST_P(sheetgen_turn, truth_corners_land_on_the_drawn_anchors) {
  const turn_case& c = GetParam();
  sheet_options o = straight(1632, 1224, 31);
  o.turn_degrees = c.turn;
  o.skew_degrees = c.skew;
  o.perspective = 0.5;
  o.blur = 0.7;
  o.noise = 2;
  const rendered_sheet s = render_or_fail(o);
  EXPECT_EQ(c.orientation, s.truth.orientation);
  EXPECT_DOUBLE_EQ(c.skew, s.truth.skew_degrees);
  const double side = s.truth.anchor_side_pixels;
  for (int i = 0; i < 4; ++i) {
    const sheetgen::point_d t = s.truth.sheet_corners[i];
    // Dark pixels within a window around the corner: about the anchor's area, centred on it.
    const int r = static_cast<int>(side * 0.85);
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = static_cast<int>(t.y) - r; y <= static_cast<int>(t.y) + r; ++y)
      for (int x = static_cast<int>(t.x) - r; x <= static_cast<int>(t.x) + r; ++x)
        if (x > 0 && y > 0 && x < s.photo.width() - 1 && y < s.photo.height() - 1 && dark(s.photo.row(y) + 3 * x)) {
          sx += x, sy += y, ++n;
        }
    const double area = side * side * (i < 2 ? 1.0 : 0.8);
    ASSERT_GT(n, 0) << "turn " << c.turn << " corner " << i;
    EXPECT_NEAR(area, n, area * 0.12) << "turn " << c.turn << " corner " << i;
    EXPECT_NEAR(t.x, sx / n, 1.5) << "turn " << c.turn << " corner " << i;
    EXPECT_NEAR(t.y, sy / n, 1.5) << "turn " << c.turn << " corner " << i;
  }
  // The sheet's top corners lie on the side the orientation code names.
  const sheetgen::point_d a = s.truth.sheet_corners[0], b = s.truth.sheet_corners[1];
  const double mx = (a.x + b.x) / 2, my = (a.y + b.y) / 2;
  const double cx = (s.truth.corners[0].x + s.truth.corners[2].x) / 2;
  const double cy = (s.truth.corners[0].y + s.truth.corners[2].y) / 2;
  switch (c.orientation) {
    case 0: EXPECT_LT(my, cy); break;
    case 1: EXPECT_LT(mx, cx); break;
    case 2: EXPECT_GT(my, cy); break;
    case 3: EXPECT_GT(mx, cx); break;
  }
  // Photo view order: left-top, right-top, right-bottom, left-bottom.
  const auto& k = s.truth.corners;
  EXPECT_LT(k[0].x, k[1].x);
  EXPECT_LT(k[3].x, k[2].x);
  EXPECT_LT(k[0].y, k[3].y);
  EXPECT_LT(k[1].y, k[2].y);
}

INSTANTIATE_TEST_SUITE_P(turns, sheetgen_turn,
                         ::testing::Values(turn_case{0, 2.5, 0}, turn_case{90, -3.0, 3}, turn_case{180, 1.25, 2},
                                           turn_case{270, -0.75, 1}),
                         [](const auto& info) { return "turn_" + std::to_string(info.param.turn); });

TEST(sheetgen, positive_skew_makes_the_top_edge_descend_to_the_right) {
  sheet_options o = straight(1632, 1224, 3);
  o.skew_degrees = 3.0;
  const rendered_sheet s = render_or_fail(o);
  const auto& k = s.truth.corners;
  const double slope = (k[1].y - k[0].y) / (k[1].x - k[0].x);
  EXPECT_NEAR(std::tan(3.0 * 3.14159265358979 / 180), slope, 0.002);
}

// ---- marks, judged by the reader's rule: a box is marked when more than
// 40 % of its interior (5 pixels in) is darker than the paper by 25 levels.

double dark_share(const platform::bitmap& img, const rendered_sheet& s, const sheetgen::layout_box& b) {
  const sheetgen::point_d lt = s.geometry.photo_from_sheet(b.center_x - b.half_width, b.center_y - b.half_height);
  const sheetgen::point_d rb = s.geometry.photo_from_sheet(b.center_x + b.half_width, b.center_y + b.half_height);
  const int l = static_cast<int>(std::lround(lt.x)) + 5, t = static_cast<int>(std::lround(lt.y)) + 5;
  const int r = static_cast<int>(std::lround(rb.x)) - 5, bo = static_cast<int>(std::lround(rb.y)) - 5;
  // Paper level: the most frequent grey level 110..255 around the box, limited to 130..232.
  int hist[256] = {0};
  for (int y = t - 12; y <= bo + 12; ++y)
    for (int x = l - 12; x <= r + 12; ++x) {
      const std::uint8_t* p = img.row(y) + 3 * x;
      ++hist[(p[0] + p[1] + p[2]) / 3];
    }
  int paper = -1, best = 0;
  for (int v = 110; v < 256; ++v)
    if (hist[v] > best) best = hist[v], paper = v;
  paper = std::clamp(paper, 130, 232);
  int count = 0, area = 0;
  for (int y = t; y <= bo; ++y)
    for (int x = l; x <= r; ++x, ++area) {
      const std::uint8_t* p = img.row(y) + 3 * x;
      if (p[0] + p[1] + p[2] < 3 * paper - 75) ++count;
    }
  return area > 0 ? static_cast<double>(count) / area : 0.0;
}

TEST(sheetgen, marked_boxes_are_clearly_marked_and_empty_ones_clearly_empty) {
  const sheetgen::mark_style styles[] = {sheetgen::mark_style::pen, sheetgen::mark_style::pencil};
  for (auto style : styles) {
    sheet_options o = straight(2592, 1944, 41);
    o.style = style;
    o.light = 1.0;
    o.noise = 3;
    o.blur = 0.9;
    const rendered_sheet s = render_or_fail(o);
    ASSERT_EQ(s.layout.size(), s.truth.boxes.size());
    int marked = 0;
    for (std::size_t i = 0; i < s.layout.size(); ++i) {
      const double share = dark_share(s.photo, s, s.layout[i]);
      if (s.truth.boxes[i].marked) {
        ++marked;
        EXPECT_GT(share, 0.55) << s.layout[i].name << " style " << s.truth.boxes[i].style;
      } else {
        EXPECT_LT(share, 0.15) << s.layout[i].name;
      }
    }
    EXPECT_GT(marked, 50);
  }
}

// ---- template

TEST(sheetgen, template_is_in_the_reader_format_with_one_row_per_group) {
  const auto layout = sheetgen::sheet_layout(true);
  const std::string text = sheetgen::template_text(layout);
  int width = 0, height = 0;
  ASSERT_EQ(2, std::sscanf(text.c_str(), "width=%d;height=%d", &width, &height));
  EXPECT_EQ(1840, width);
  EXPECT_EQ(2710, height);

  struct line_box {
    std::string name;
    int value, cx, cy, hw, hh;
  };
  std::vector<line_box> boxes;
  std::size_t pos = text.find('\n') + 1;
  while (pos < text.size()) {
    const std::size_t end = text.find('\n', pos);
    const std::string line = text.substr(pos, end - pos);
    ASSERT_LT(line.size(), 99u) << line;
    char name[64] = {0};
    line_box b{};
    ASSERT_EQ(6, std::sscanf(line.c_str(), "%63[^=]=%d[%d,%d,%d,%d]", name, &b.value, &b.cx, &b.cy, &b.hw, &b.hh))
        << line;
    b.name = name;
    EXPECT_EQ(0, b.value);
    EXPECT_GT(b.hw, b.hh) << line;  // wider than tall
    EXPECT_GT(b.cx - b.hw, 0) << line;
    EXPECT_LT(b.cx + b.hw, width) << line;
    EXPECT_LT(b.cy + b.hh, height) << line;
    boxes.push_back(b);
    pos = end + 1;
  }
  EXPECT_EQ(80u + 240u, boxes.size());
  std::set<std::string> names;
  for (const auto& b : boxes) names.insert(b.name);
  EXPECT_EQ(boxes.size(), names.size());
  EXPECT_TRUE(names.count("12.C"));
  EXPECT_TRUE(names.count("N3.7"));

  // The reader's grouping: a group goes on while the part before or after the '.' repeats.
  std::vector<std::vector<line_box>> groups(1);
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    if (i > 0) {
      const auto& a = boxes[i - 1].name;
      const auto& b = boxes[i].name;
      const std::string ha = a.substr(0, a.find('.')), ta = a.substr(a.find('.') + 1);
      const std::string hb = b.substr(0, b.find('.')), tb = b.substr(b.find('.') + 1);
      if (ha != hb && ta != tb) groups.emplace_back();
    }
    groups.back().push_back(boxes[i]);
  }
  EXPECT_EQ(8u + 60u, groups.size());
  for (const auto& g : groups) {
    EXPECT_TRUE(g.size() == 4 || g.size() == 10) << g.front().name;
    for (const auto& b : g) EXPECT_EQ(g.front().cy, b.cy) << b.name;  // one horizontal row
    for (std::size_t i = 1; i < g.size(); ++i) EXPECT_GT(g[i].cx, g[i - 1].cx) << g[i].name;
  }
  EXPECT_EQ(241u, sheetgen::sheet_layout(false).size() + 1);
}

// ---- truth record and files

TEST(sheetgen, truth_survives_its_file_format) {
  sheet_options o = straight(1632, 1224, 9);
  o.turn_degrees = 90;
  o.skew_degrees = -1.37;
  const rendered_sheet s = render_or_fail(o);
  const std::string text = sheetgen::format_truth(s.truth);
  sheetgen::sheet_truth back;
  ASSERT_TRUE(sheetgen::parse_truth(text, back));
  EXPECT_EQ(s.truth.seed, back.seed);
  EXPECT_EQ(1632, back.photo_width);
  EXPECT_EQ(1224, back.photo_height);
  EXPECT_DOUBLE_EQ(-1.37, back.skew_degrees);
  EXPECT_EQ(3, back.orientation);
  EXPECT_EQ(90, back.turn_degrees);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(s.truth.corners[i].x, back.corners[i].x, 0.051);
    EXPECT_NEAR(s.truth.sheet_corners[i].y, back.sheet_corners[i].y, 0.051);
  }
  ASSERT_EQ(s.truth.boxes.size(), back.boxes.size());
  EXPECT_EQ(s.truth.marked_names(), back.marked_names());
  for (std::size_t i = 0; i < back.boxes.size(); ++i) EXPECT_EQ(s.truth.boxes[i].style, back.boxes[i].style);

  // Damaged records are refused rather than half read.
  EXPECT_FALSE(sheetgen::parse_truth("seed=1\nphoto=10x10\n", back));
  EXPECT_FALSE(sheetgen::parse_truth(text + "12.A=7 pen [1,2]\n", back));
  EXPECT_FALSE(sheetgen::parse_truth(text + "no equals sign\n", back));
}

TEST(sheetgen, listed_marks_are_exactly_the_marked_boxes) {
  sheet_options o = straight(1632, 1224, 4);
  o.choice = sheetgen::mark_choice::listed;
  o.marked = {"1.A", "12.C", "60.D", "N2.5"};
  const rendered_sheet s = render_or_fail(o);
  std::vector<std::string> want = o.marked;
  std::vector<std::string> got = s.truth.marked_names();
  std::sort(want.begin(), want.end());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(want, got);
}

TEST(sheetgen, options_it_cannot_meet_are_refused_with_a_reason) {
  struct bad_case {
    const char* label;
    void (*change)(sheet_options&);
  };
  const bad_case cases[] = {
      {"tiny photo", [](sheet_options& o) { o.photo_width = 100; }},
      {"huge photo", [](sheet_options& o) { o.photo_width = 20000; }},
      {"turn 45", [](sheet_options& o) { o.turn_degrees = 45; }},
      {"skew 30", [](sheet_options& o) { o.skew_degrees = 30; }},
      {"skew nan", [](sheet_options& o) { o.skew_degrees = std::nan(""); }},
      {"anchor too big for the reader", [](sheet_options& o) { o.anchor_pixels = 50; }},
      {"quality 0", [](sheet_options& o) { o.jpeg_quality = 0; }},
      {"unknown box", [](sheet_options& o) {
         o.choice = sheetgen::mark_choice::listed;
         o.marked = {"61.A"};
       }},
      {"sheet does not fit", [](sheet_options& o) {
         o.sheet_fraction = 0.95;
         o.skew_degrees = 15;
       }},
      {"photo too small for anchors", [](sheet_options& o) {
         o.photo_width = 600;
         o.photo_height = 400;
       }},
  };
  for (const bad_case& c : cases) {
    sheet_options o = straight(1632, 1224, 1);
    c.change(o);
    rendered_sheet s;
    std::string error;
    EXPECT_FALSE(sheetgen::render_sheet(o, s, error)) << c.label;
    EXPECT_FALSE(error.empty()) << c.label;
    EXPECT_FALSE(s.photo.has_image()) << c.label;
  }
}

TEST(sheetgen, sheet_files_are_written_and_read_back) {
  test_support::temp_dir dir;
  const rendered_sheet s = render_or_fail(straight(1632, 1224, 2));
  std::string error;
  ASSERT_TRUE(sheetgen::write_sheet_files(dir.file("a"), s, 85, false, error)) << error;
  const platform::bitmap back = platform::load_image_file(dir.file("a.jpg"));
  ASSERT_TRUE(back.has_image());
  EXPECT_EQ(1632, back.width());
  EXPECT_EQ(s.template_text, test_support::read_file(dir.file("a_template.txt")));
  sheetgen::sheet_truth t;
  EXPECT_TRUE(sheetgen::parse_truth(test_support::read_file(dir.file("a_truth.txt")), t));

  ASSERT_TRUE(sheetgen::write_sheet_files(dir.file("b"), s, 85, true, error)) << error;
  const platform::bitmap png = platform::load_image_file(dir.file("b.png"));
  ASSERT_TRUE(png.has_image());
  EXPECT_EQ(0, std::memcmp(png.pixels(), s.photo.pixels(), s.photo.byte_size()));

  EXPECT_FALSE(sheetgen::write_sheet_files(dir.file("missing/c"), s, 85, false, error));
  EXPECT_NE(std::string::npos, error.find("missing/c"));
}

// ---- the program

int run(const std::vector<std::string>& args, std::string* err = nullptr) {
  test_support::child_process p;
  test_support::child_options opts;
  opts.args = args;
  if (!p.start(test_support::program_path("sheetgen"), opts)) return -1;
  p.close_stdin();
  p.read_quiet(100);
  const auto status = p.wait_exit(120000);
  if (err) *err = p.stderr_text();
  return status ? *status : -2;
}

TEST(sheetgen_program, render_and_corpus_write_their_files) {
  test_support::temp_dir dir;
  ASSERT_EQ(0, run({"render", "--out", dir.file("one.png"), "--size", "1632x1224", "--seed", "5", "--turn", "180",
                    "--skew", "-2", "--mark", "3.B", "--mark", "4.C"}));
  sheetgen::sheet_truth t;
  ASSERT_TRUE(sheetgen::parse_truth(test_support::read_file(dir.file("one_truth.txt")), t));
  EXPECT_EQ(2, t.orientation);
  EXPECT_EQ((std::vector<std::string>{"3.B", "4.C"}), t.marked_names());
  EXPECT_TRUE(test_support::file_present(dir.file("one_template.txt")));
  EXPECT_TRUE(platform::load_image_file(dir.file("one.png")).has_image());

  const std::string out = dir.file("corpus");
  ASSERT_EQ(0, run({"corpus", "--out", out, "--count", "2", "--size", "1632x1224", "--seed", "100"}));
  for (const char* f : {"sheet_001.jpg", "sheet_001_template.txt", "sheet_001_truth.txt", "sheet_002.jpg",
                        "sheet_002_truth.txt"})
    EXPECT_TRUE(test_support::file_present(out + "/" + f)) << f;
  EXPECT_FALSE(test_support::file_present(out + "/sheet_003.jpg"));
}

TEST(sheetgen_program, bad_command_lines_exit_2_and_impossible_renders_exit_1) {
  test_support::temp_dir dir;
  std::string err;
  EXPECT_EQ(2, run({}, &err));
  EXPECT_EQ(2, run({"paint"}, &err));
  EXPECT_EQ(2, run({"render"}, &err));
  EXPECT_EQ(2, run({"render", "--out", dir.file("x.jpg"), "--turn", "abc"}, &err));
  EXPECT_EQ(2, run({"render", "--out", dir.file("x.jpg"), "--bogus", "1"}, &err));
  EXPECT_EQ(2, run({"corpus", "--count", "3"}, &err));
  EXPECT_EQ(1, run({"render", "--out", dir.file("x.jpg"), "--turn", "45"}, &err));
  EXPECT_NE(std::string::npos, err.find("turn"));
  EXPECT_EQ(1, run({"render", "--out", dir.file("no/such/x.jpg"), "--size", "1632x1224"}, &err));
}

}  // namespace
