// "readtemplate;PATH": loads the template file into current_template and
// answers "readComplete;1" when it holds at least one box, else
// "readComplete;0". Any other field count: no reply.
#include "commands/processors.h"
#include "commands/sheet_template.h"

int processor_readtemplate::process(arg_list& args) {
  if (args.size() != 2) return 0;
  const int loaded = read_template(args[1], options_.names);
  write_reply(format_reply(255, "readComplete;%d", loaded));
  return 1;
}
