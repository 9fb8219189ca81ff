// "setdpi;X;Y": the resolution every later JPEG records. Values are stored as
// they come (no digits give 0); the JPEG writer refuses what it cannot record.
#include "commands/command_fields.h"
#include "commands/processors.h"
#include "raster/image_files.h"

int processor_set_dpi::process(arg_list& args) {
  if (args.size() != 3) return 0;
  set_output_dpi(leading_int(args[1]), leading_int(args[2]));
  write_reply(format_reply(255, "done"));
  return 1;
}
