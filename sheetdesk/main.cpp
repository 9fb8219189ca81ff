// sheetdesk: reads answer sheets photographed onto the clipboard.
//
// Each line on standard input names the JPEG file to write; the photograph on
// the clipboard is straightened, saved there, and the boxes of "VarnelTpl.txt"
// (current folder) are marked into the result file beside it. "exit" or the
// end of input ends the program.
#include <clocale>
#include <cstdio>
#include <cstring>

#include "sheetdesk/desk_request.h"

#ifndef SHEETDESK_VERSION
#define SHEETDESK_VERSION "unknown"
#endif

namespace {

const char* const usage_text =
    "Usage: sheetdesk [--help | --version]\n"
    "\n"
    "Reads one request per line on standard input:\n"
    "  PATH   take the image on the clipboard, straighten it, save it as a JPEG\n"
    "         (quality 100) at PATH, mark the boxes of VarnelTpl.txt (read from\n"
    "         the current folder) and write the result to PATH with every \"jpg\"\n"
    "         replaced by \"txt\" (PATH.txt when PATH holds no \"jpg\");\n"
    "         answers \"recognize_complete\", or nothing when the clipboard holds no image.\n"
    "  exit   end the program (as does the end of input).\n"
    "\n"
    "Template lines: name=value[left,top,width,height] in pixels of the straightened image.\n";

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  if (argc > 1) {
    if (std::strcmp(argv[1], "--help") == 0) {
      std::fputs(usage_text, stdout);
      return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
      std::puts("sheetdesk " SHEETDESK_VERSION);
      return 0;
    }
    std::fprintf(stderr, "sheetdesk: unknown argument '%s'\n%s", argv[1], usage_text);
    return 2;
  }
  sheetdesk::clipboard_photo_source clipboard;
  return sheetdesk::run_request_loop(stdin, stdout, clipboard, sheetdesk::template_file_name);
}
