// lalrgen GRAMMAR OUTPUT NAME: writes the grammar descriptor template NAME
// with its fifteen tables as a C++ source. Fails on any conflict.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "tools/lalr.h"

namespace {

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string &path, const std::string &text) {
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::binary);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + temp);
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    throw std::runtime_error("cannot rename " + temp + " to " + path);
  }
}

std::string baseName(const std::string &path) {
  const size_t slash = path.find_last_of('/');
  const size_t parent = slash == std::string::npos ? std::string::npos : path.rfind('/', slash - 1);
  return parent == std::string::npos ? path : path.substr(parent + 1);
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 4) {
    std::cerr << "usage: lalrgen GRAMMAR OUTPUT NAME\n";
    return 2;
  }
  try {
    const lalr::Grammar grammar = lalr::readGrammar(readFile(argv[1]));
    const lalr::Automaton automaton = lalr::buildAutomaton(grammar);
    for (const lalr::Conflict &c : automaton.conflicts) {
      std::cerr << argv[1] << ": " << c.description << "\n";
    }
    if (!automaton.conflicts.empty()) {
      std::cerr << argv[1] << ": " << automaton.conflicts.size()
                << " conflicts; the grammar is not LALR(1)\n";
      return 1;
    }
    const lalr::Tables tables = lalr::buildTables(grammar, automaton);
    writeFile(argv[2], lalr::emitSource(grammar, tables, argv[3], baseName(argv[1])));
  } catch (const std::exception &e) {
    std::cerr << argv[1] << ": " << e.what() << "\n";
    return 1;
  }
  return 0;
}
