// A plain reader of value change dumps, for tests: every variable's changes by
// its name, values as numbers (or "x"), whatever identifiers, scopes and
// leading zeros the writer chose.
#pragma once

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace varnak::testing {

// name -> (time, value) for each change; a value repeated is no change.
using VcdChanges = std::map<std::string, std::vector<std::pair<long long, std::string>>>;

inline std::string VcdValue(const std::string& bits) {
  unsigned long long v = 0;
  for (char c : bits) {
    if (c != '0' && c != '1') return "x";
    v = v * 2 + static_cast<unsigned long long>(c - '0');
  }
  return std::to_string(v);
}

inline VcdChanges ReadVcdChanges(const std::string& path) {
  std::ifstream in(path);
  std::map<std::string, std::string> names;  // id -> name
  VcdChanges changes;
  long long t = 0;
  std::string line;
  const auto set = [&](const std::string& id, const std::string& value) {
    const auto name = names.find(id);
    if (name == names.end()) return;
    auto& list = changes[name->second];
    if (!list.empty() && list.back().second == value) return;
    list.emplace_back(t, value);
  };
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string first;
    if (!(words >> first)) continue;
    if (first == "$var") {
      std::string type, width, id, name;
      words >> type >> width >> id >> name;
      names[id] = name;
    } else if (first[0] == '#') {
      t = std::stoll(first.substr(1));
    } else if (first[0] == 'b' || first[0] == 'B') {
      std::string id;
      words >> id;
      set(id, VcdValue(first.substr(1)));
    } else if (first[0] == '0' || first[0] == '1' || first[0] == 'x' || first[0] == 'X') {
      set(first.substr(1), VcdValue(first.substr(0, 1)));
    }
  }
  return changes;
}

}  // namespace varnak::testing
