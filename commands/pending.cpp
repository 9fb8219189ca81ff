// Processors whose commands wait for the analysis and path layers refuse
// every line the way a wrong field count is refused: nothing written, 0 returned.
#include "commands/processors.h"

int processor_recognize::process(arg_list&) { return 0; }
int processor_locate::process(arg_list&) { return 0; }
int processor_enhance::process(arg_list&) { return 0; }
