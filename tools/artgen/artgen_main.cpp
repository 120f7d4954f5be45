// Writes every picture into the folder given on the command line.
#include <cstdio>
#include <fstream>

#include "artgen.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: artgen FOLDER\n");
    return 2;
  }
  for (const artgen::Picture& p : artgen::Pictures()) {
    std::string path = std::string(argv[1]) + "/" + p.name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(p.bytes.data()),
              static_cast<std::streamsize>(p.bytes.size()));
    if (!out) {
      std::fprintf(stderr, "artgen: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
