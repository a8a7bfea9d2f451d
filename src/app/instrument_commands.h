#pragma once
// The instrument commands of the main window: one row per menu entry, naming the access the
// command starts. The window offers a row only when the access table holds a worker for its
// cell, so an instrument family's commands appear as soon as the family registers its workers.
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/access_types.h"

namespace logwell {

// How a waypoint upload writes each selected waypoint to instruments that keep both an ID and
// a name; not part of the access parameter.
enum class SelectionMode { None, NamesOnly, IdsAndNames, IdsOnly };

struct InstrumentCommand {
  int id;
  std::string_view label;     // menu text, "&" marks the underlined letter
  std::string_view shortcut;  // Qt key sequence text, empty for none
  AccessType access;
  ProtocolType protocol;
  int parameter;
  SelectionMode selection;
};

std::span<const InstrumentCommand> InstrumentCommands();
const InstrumentCommand* FindInstrumentCommand(int id);

// The caption of the boxes of a command that starts this access ("Download track log", ...).
std::string_view AccessCaption(AccessType access);

// The first text of the main window's title: "Logwell 5.07, <port>" with the competition state.
std::string WindowTitle(int versionNumber, std::string_view portName, bool competitionMode,
                        bool compSpecial);

}  // namespace logwell
