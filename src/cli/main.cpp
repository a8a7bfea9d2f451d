// logwell-cli: the headless program. It takes the same command line as the window program and a
// few verbs for scripting.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("logwell-cli 5.07\n");
    return 0;
  }
  std::fprintf(stderr, "usage: logwell-cli --version\n");
  return 2;
}
