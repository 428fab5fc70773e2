// The values through which the link control meets the window: the texts of the
// four text boxes and the port box, and the eight output lamps.
#pragma once

#include "link/text.h"

namespace varnak {

enum class Field {
  Text1,   // value to write, four hex digits, high byte first
  Text2,   // octal register number to write
  Text5,   // value read
  Text6,   // octal register number to read
  Combo1,  // port number
};

class PanelFields {
 public:
  virtual ~PanelFields() = default;
  virtual Text text(Field field) const = 0;
  virtual void setText(Field field, const Text& text) = 0;
  // Output Qi (0..7): on shows the green lamp in front, off the red one.
  virtual void setLamp(int output, bool on) = 0;
};

}  // namespace varnak
