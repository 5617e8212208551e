// A dialog template as data: the window's caption, size, font and styles,
// and its controls in creation order (which is also the tab order), in
// dialog units. Every backend builds its window from this one table.
#pragma once

#include <cstddef>

enum class ControlKind {
  kDropList,
  kPushButton,
  kEdit,
  kCheckBox,
  kLabel,
  kSunkenLabel,  // a status line: screen readers are told when its text changes
  kGroupBox
};

struct DialogItem {
  int id;            // -1 for controls the program never addresses
  const char* name;  // the identifier, as the widget's object name; "" for none
  ControlKind kind;
  const char* caption;
  int x, y, w, h;  // dialog units; a drop-down list's h is its opened height
  unsigned style;  // the Windows style word
};

struct DialogTemplate {
  int id;
  const char* caption;
  const char* fontFace;
  int fontPoints;
  int cx, cy;  // client area, dialog units
  unsigned style;
  unsigned exStyle;
  unsigned short language;
  const DialogItem* items;
  std::size_t itemCount;
};

// The template with the given id, or nullptr; the program's resources
// (res/) define it.
const DialogTemplate* FindDialogTemplate(int id);
// The program's icon with the given id as XPM rows, or nullptr.
const char* const* FindIconXpm(int id);
