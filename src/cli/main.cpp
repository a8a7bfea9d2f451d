// logwell-cli: the headless program. It takes the same command line as the window program and a
// few verbs for scripting.
#include <cstdio>
#include <cstring>

#include "app/headless_ui.h"
#include "track/formats/track_file_types.h"

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("logwell-cli 5.07\n");
    return 0;
  }
  // convert IN OUT: a track file to another format, chosen by the extensions.
  if (argc == 4 && std::strcmp(argv[1], "convert") == 0) {
    logwell::HeadlessUi ui;
    return logwell::ConvertTrackFile(argv[2], argv[3], ui) == 0 ? 0 : 1;
  }
  std::fprintf(stderr, "usage: logwell-cli --version | convert IN OUT\n");
  return 2;
}
