// The step-trace lines the analysis writes, with the milliseconds blanked.
#include <gtest/gtest.h>

#include <string>

#include "analysis/anchors.h"
#include "analysis/binarize.h"
#include "analysis/skew.h"
#include "platform/step_trace.h"
#include "tests/analysis/test_image.h"
#include "tests/support/temp_dir.h"

using namespace analysis_test;

namespace {

class trace_capture {
 public:
  trace_capture() : path_(dir_.file("trace.txt")) { trace_set_sink(path_); }
  ~trace_capture() { trace_set_sink(""); }
  // Lines written so far with every run of digits right after a label's
  // colon replaced by "#"; the capture starts over.
  std::string take() {
    trace_set_sink("");
    std::string text = test_support::read_file(path_);
    test_support::write_file(path_, "");
    trace_set_sink(path_);
    return blank_milliseconds(text);
  }

  static std::string blank_milliseconds(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      out += text[i];
      if (text[i] != ':') continue;
      std::size_t j = i + 1;
      while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j;
      if (j > i + 1) {
        out += '#';
        i = j - 1;
      }
    }
    return out;
  }

 private:
  test_support::temp_dir dir_;
  std::string path_;
};

TEST(step_trace, binarization_lines) {
  trace_capture trace;
  test_image img(8, 8);
  binarize_dark(img.view);
  EXPECT_EQ(trace.take(), "_________binary:#\n");
  binarize_options quiet;
  quiet.trace = false;
  binarize_dark(img.view, quiet);
  EXPECT_EQ(trace.take(), "");

  stretch_colors(img.view, 20, 65);
  EXPECT_EQ(trace.take(),
            "_________update_low_high:#\n_________otsu_update_fore_back_pts:#\n_________color_map:#\n");
  stretch_options early;
  early.fixed_factors = true;
  early.replace_color_line = true;
  stretch_colors(img.view, 0, 0, early);
  EXPECT_EQ(trace.take(),
            "_________update_low_high:#\n_________otsu_update_fore_back_pts:#\n_________color_map:#\n"
            "_________replace_color:#\n");
}

TEST(step_trace, skew_and_rotation_lines) {
  trace_capture trace;
  test_image img(40, 30);
  EXPECT_FLOAT_EQ(estimate_skew(img.view), -40.0f);
  EXPECT_EQ(trace.take(),
            "_________binary:#\n______________angle.step1:# -40\n______________angle.step2:# -40\n"
            "______________angle.step3:# -40\n_________angle:# -40\n");

  test_image out(40, 30);
  rotate_self(img.view, out.view, 1.5f);
  EXPECT_EQ(trace.take(), "_________rotate_self:# \n");
  rotate_self(img.view, out.view, 1.5f, early_build_analysis().rotate);
  EXPECT_EQ(trace.take(), "_________rotate:# \n");

  skew_options no_total;
  no_total.trace_total = false;
  no_total.binarize.trace = false;
  estimate_skew(img.view, no_total);
  EXPECT_EQ(trace.take(), "______________angle.step1:# -40\n______________angle.step2:# -40\n"
                          "______________angle.step3:# -40\n");
}

TEST(step_trace, anchor_location_lines) {
  trace_capture trace;
  test_image img(60, 60);
  anchor_result result;
  locate_anchors(result, img.view, 1);
  EXPECT_EQ(trace.take(),
            "_________binary:#\n_______________________floodfill.cluster:#\n______________locate.floodfill:#\n"
            "______________locate.cluster:#\n_________locate:#\n");
  locate_anchors(result, img.view, 0);
  EXPECT_EQ(trace.take(),
            "_______________________floodfill.cluster:#\n______________locate.floodfill:#\n"
            "______________locate.cluster:#\n_________locate:#\n");
}

}  // namespace
