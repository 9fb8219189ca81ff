#include "host/build_description.h"

int main(int argc, char** argv) { return run_markd(full_build(), argc, argv); }
