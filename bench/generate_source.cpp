// generate-source DIR [--tables N] [--rows M] [--seed S] [--schema NAME] [--erp]
// Makes DIR an embedded Oracle instance holding a generated ERP source; --erp
// names the tables as the ERP does and gives them falling sizes.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

#include "bench/source_generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: generate-source DIR [--tables N] [--rows M] [--seed S] [--schema NAME] [--erp]\n";
    return 2;
  }
  bench::SourceShape shape;
  for (int i = 2; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--erp") {
      shape.erp_like = true;
      --i;
      continue;
    }
    if (i + 1 >= argc) {
      std::cerr << "option " << option << " needs a value\n";
      return 2;
    }
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
