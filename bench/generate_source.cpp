// generate-source DIR [--tables N] [--rows M] [--seed S] [--schema NAME]
// Makes DIR an embedded Oracle instance holding a generated ERP source.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "bench/source_generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: generate-source DIR [--tables N] [--rows M] [--seed S] [--schema NAME]\n";
    return 2;
  }
  bench::SourceShape shape;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    const std::string value = argv[i + 1];
    if (option == "--tables") {
      shape.tables = std::stoi(value);
    } else if (option == "--rows") {
      shape.rows = std::stoll(value);
    } else if (option == "--seed") {
      shape.seed = std::stoull(value);
    } else if (option == "--schema") {
      shape.schema = value;
    } else {
      std::cerr << "unknown option " << option << "\n";
      return 2;
    }
  }
  try {
    bench::GenerateSource(argv[1], shape);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
