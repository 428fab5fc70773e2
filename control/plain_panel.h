// The panel fields as plain values, for a link control without a window (a
// headless bridge, a benchmark, the tests): the boxes hold what the window's
// boxes hold at start, and the lamps are eight bits.
#pragma once

#include <array>
#include <map>

#include "control/panel_fields.h"

namespace varnak {

class PlainPanel : public PanelFields {
 public:
  std::map<Field, Text> texts{{Field::Text1, U"00"},
                              {Field::Text2, U"2000"},
                              {Field::Text5, U""},
                              {Field::Text6, U"2000"},
                              {Field::Combo1, U""}};
  std::array<bool, 8> lamps{};

  Text text(Field f) const override { return texts.at(f); }
  void setText(Field f, const Text& t) override { texts[f] = t; }
  void setLamp(int i, bool on) override { lamps.at(static_cast<std::size_t>(i)) = on; }
};

}  // namespace varnak
