#include "pagework/SettingsRecord.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

void TSettingsRecord::ClampMargins() {
  for (int* p : {&P1, &P2, &P3, &P4})
    if (*p < 1) *p = 1;
}

const std::vector<TSettingsIntField>& SettingsIntFields() {
  static const std::vector<TSettingsIntField> fields = {
      {"W", &TSettingsRecord::W},       {"H", &TSettingsRecord::H},         {"Bo", &TSettingsRecord::Bo},
      {"M", &TSettingsRecord::M},       {"K", &TSettingsRecord::K},         {"D", &TSettingsRecord::D},
      {"P1", &TSettingsRecord::P1},     {"P2", &TSettingsRecord::P2},       {"P3", &TSettingsRecord::P3},
      {"P4", &TSettingsRecord::P4},     {"F", &TSettingsRecord::F},         {"Z", &TSettingsRecord::Z},
      {"I", &TSettingsRecord::I},       {"B", &TSettingsRecord::B},         {"aH", &TSettingsRecord::aH},
      {"aV", &TSettingsRecord::aV},     {"Wopt", &TSettingsRecord::Wopt},   {"Wside", &TSettingsRecord::Wside},
      {"Hopt", &TSettingsRecord::Hopt}, {"Hside", &TSettingsRecord::Hside}, {"J", &TSettingsRecord::J},
      {"A", &TSettingsRecord::A},       {"GS", &TSettingsRecord::GS},       {"GW", &TSettingsRecord::GW},
      {"GH", &TSettingsRecord::GH},     {"GC", &TSettingsRecord::GC},       {"AL", &TSettingsRecord::AL},
      {"CL", &TSettingsRecord::CL},     {"PT", &TSettingsRecord::PT},       {"DS", &TSettingsRecord::DS},
      {"pW", &TSettingsRecord::pW},     {"pH", &TSettingsRecord::pH},       {"pS", &TSettingsRecord::pS},
      {"oS", &TSettingsRecord::oS},     {"oC", &TSettingsRecord::oC},       {"fA", &TSettingsRecord::fA},
      {"fC", &TSettingsRecord::fC},     {"jQ", &TSettingsRecord::jQ},       {"DF", &TSettingsRecord::DF},
  };
  return fields;
}

namespace {

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool SetSettingsValue(TSettingsRecord& record, const std::string& name, const std::string& text) {
  const std::string t = Trimmed(text);
  if (t.empty()) return false;
  char* end = nullptr;
  errno = 0;
  if (name == "R") {
    const double v = std::strtod(t.c_str(), &end);
    if (*end != '\0' || errno == ERANGE) return false;
    record.R = static_cast<float>(v);
    return true;
  }
  for (const auto& f : SettingsIntFields()) {
    if (name == f.Name) {
      // Base 0 as the store's own reading: decimal, 0x hex or 0 octal.
      const long v = std::strtol(t.c_str(), &end, 0);
      if (*end != '\0' || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
      record.*f.Field = static_cast<int>(v);
      return true;
    }
  }
  return false;
}
