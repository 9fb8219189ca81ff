// What the sheet commands of one build of markd do differently, as data.
// The full build's values are the defaults; the early build's are below.
#pragma once

#include "analysis/options.h"
#include "commands/match_step.h"
#include "commands/sheet_template.h"

// When the recognize pipeline writes "_cut2.jpg" and "_org_binary.jpg".
enum class debug_images { when_output_type_set, always };

struct sheet_command_options {
  analysis_options analysis = full_build_analysis();
  name_split names = name_split::at_first_dot;           // how readtemplate splits box names
  box_grouping grouping = box_grouping::by_name_parts;   // how the match step groups boxes
  template_output result_boxes = template_output::group_results;  // what the result file lists
  debug_images extra_images = debug_images::when_output_type_set;
  bool record_resolution = true;  // JPEGs record the "setdpi" resolution
};

inline sheet_command_options full_build_commands() { return {}; }

inline sheet_command_options early_build_commands() {
  sheet_command_options o;
  o.analysis = early_build_analysis();
  o.names = name_split::none;
  o.grouping = box_grouping::blocks_of_four;
  o.result_boxes = template_output::box_list;
  o.extra_images = debug_images::always;
  o.record_resolution = false;
  return o;
}
